#include "build/ToolOutcome.h"

#include <system_error>

#include "platform/FileStream.h"

namespace kelvory {

std::string LastErrorLine(const std::string& errorOutputPath) {
  std::error_code error;
  auto stream = platform::FileStream::Open(errorOutputPath, error);
  if (!stream) return {};
  // Read in blocks, so an error output of any length takes bounded memory: only the
  // line being read and the last error line are kept.
  std::string last;
  std::string line;
  char buffer[65536];
  auto finishLine = [&] {
    if (line.rfind("ERROR", 0) == 0) last = line;
    line.clear();
  };
  for (;;) {
    const std::size_t n = stream->Read(buffer, sizeof buffer);
    if (n == 0) break;
    for (std::size_t i = 0; i < n; ++i) {
      const char c = buffer[i];
      if (c == '\n') {
        finishLine();
      } else if (c != '\r' && line.size() < 4096) {
        line += c;
      }
    }
  }
  finishLine();
  return last;
}

std::string ToolFailure(const platform::ProcessExit& exit, const std::string& errorLine) {
  if (exit.Signaled) return "gdaladdo was killed by signal " + std::to_string(exit.Code);
  if (!errorLine.empty()) return errorLine;
  if (exit.Code != 0) return "gdaladdo exited with status " + std::to_string(exit.Code);
  return {};
}

}  // namespace kelvory
