#include "pyramids/ToolThreads.h"

#include <algorithm>
#include <cctype>

namespace kelvory {
namespace {

// GDAL finds its configuration options by name in any letter case.
bool IsThreadsOption(const std::string& key) {
  return std::equal(key.begin(), key.end(), ThreadsOption, ThreadsOption + std::char_traits<char>::length(ThreadsOption),
                    [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
}

}  // namespace

int ToolThreads(const CoreUse& use) {
  // Every running tool holds a thread at least, so with a file waiting for each free
  // slot the share is one.
  const int free = std::min(use.Cores, use.Slots) - use.RunningThreads;
  return std::max(1, free / (1 + std::max(0, use.Waiting)));
}

std::vector<std::string> ChosenThreadArguments(const std::vector<std::pair<std::string, std::string>>& config) {
  std::vector<std::string> arguments;
  for (const auto& [key, value] : config) {
    if (IsThreadsOption(key)) arguments.insert(arguments.end(), {"--config", key, value});
  }
  return arguments;
}

bool OnlyThreadOptions(const std::vector<std::pair<std::string, std::string>>& config) {
  return std::all_of(config.begin(), config.end(), [](const auto& option) { return IsThreadsOption(option.first); });
}

std::vector<std::string> ThreadArguments(int threads) {
  if (threads <= 1) return {};
  return {"--config", ThreadsOption, std::to_string(threads)};
}

}  // namespace kelvory
