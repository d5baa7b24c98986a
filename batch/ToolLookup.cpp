#include "batch/ToolLookup.h"

#include <memory>
#include <vector>

#include "platform/MemoryFile.h"
#include "platform/Process.h"

namespace kelvory {
namespace {

// A tool that does not answer --version within this time is not waited for.
constexpr int kVersionWaitMs = 10000;

std::string FirstLine(platform::Stream& stream) {
  std::string text;
  char buffer[512];
  stream.SetPosition(0);
  for (std::size_t got; (got = stream.Read(buffer, sizeof buffer)) > 0 && text.size() < 4096;) text.append(buffer, got);
  const auto end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

std::string ToolVersion(const std::string& toolPath) {
  std::error_code error;
  const std::unique_ptr<platform::MemoryFile> output = platform::MemoryFile::Create("gdaladdo-version", error);
  if (error) return "(cannot keep its output: " + error.message() + ")";
  platform::Process tool = platform::Process::Start(toolPath, {"--version"}, output->Fd(), output->Fd(), error);
  if (error) return "(cannot start it: " + error.message() + ")";
  if (tool.Wait(kVersionWaitMs, error) != platform::WaitResult::Ended) {
    tool.Stop(0);
    return "(it did not answer --version)";
  }
  const std::string line = FirstLine(*output);
  if (!tool.Exit().Success() || line.empty()) return "(it did not answer --version)";
  return line;
}

}  // namespace kelvory
