#include "pyramids/ToolOutcome.h"

#include "platform/Paths.h"

namespace kelvory {

namespace {
bool NamesFullDisk(const std::string& line) {
  return line.find("No space left on device") != std::string::npos ||
         line.find("Disk full") != std::string::npos || line.find("disk full") != std::string::npos;
}
}  // namespace

std::string MostTellingErrorLine(platform::Stream& errorOutput) {
  errorOutput.SetPosition(0);
  std::string first;
  std::string fullDisk;
  std::string line;
  char buffer[65536];
  auto finishLine = [&] {
    if (line.rfind("ERROR", 0) == 0) {
      if (first.empty()) first = line;
      if (fullDisk.empty() && NamesFullDisk(line)) fullDisk = line;
    }
    line.clear();
  };
  for (;;) {
    const std::size_t n = errorOutput.Read(buffer, sizeof buffer);
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
  return fullDisk.empty() ? first : fullDisk;
}

Reason ToolFailure(const platform::ProcessExit& exit, const std::string& errorLine, const std::string& writeFolder) {
  if (exit.Signaled) return MakeReason(ReasonCode::ToolSignal, {std::to_string(exit.Code)});
  if (NamesFullDisk(errorLine)) {
    return MakeReason(ReasonCode::ToolNoSpace, {writeFolder, errorLine}, std::make_error_code(std::errc::no_space_on_device));
  }
  if (!errorLine.empty()) return MakeReason(ReasonCode::ToolError, {errorLine});
  if (exit.Code != 0) return MakeReason(ReasonCode::ToolExitStatus, {std::to_string(exit.Code)});
  return {};
}

Reason WithUserPath(Reason reason, const std::string& workingPath, const std::string& userPath) {
  if (workingPath.empty()) return reason;
  const auto replace = [&userPath](std::string& argument, const std::string& form) {
    for (std::size_t at = argument.find(form); at != std::string::npos;
         at = argument.find(form, at + userPath.size())) {
      argument.replace(at, form.size(), userPath);
    }
  };
  // The tool names the path as it was given it: a long one in the extended form on
  // Windows, which no user reads either.
  const std::string given = platform::PathForProgram(workingPath);
  for (std::string& argument : reason.Args) {
    if (given != workingPath) replace(argument, given);
    replace(argument, workingPath);
  }
  return reason;
}

}  // namespace kelvory
