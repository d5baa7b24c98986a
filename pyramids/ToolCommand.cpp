#include "pyramids/ToolCommand.h"

namespace kelvory {

std::string ToolCommandPrefix() { return "gdal\\gdaladdo \""; }

LevelSuffixList LevelSuffixes() {
  LevelSuffixList suffixes;
  suffixes[1] = "\" 2";
  for (std::int32_t j = 2; j <= MaxLevels; ++j) {
    suffixes[j] = suffixes[j - 1] + " " + std::to_string(std::int64_t{1} << j);
  }
  return suffixes;
}

std::string ToolCommandLine(const std::string& prefix, const LevelSuffixList& suffixes,
                            const std::string& workingPath, std::int32_t levels) {
  return prefix + workingPath + suffixes.at(static_cast<std::size_t>(levels));
}

std::vector<std::string> ToolArguments(const std::string& workingPath, std::int32_t levels) {
  std::vector<std::string> arguments{workingPath};
  for (std::int32_t j = 1; j <= levels; ++j) arguments.push_back(std::to_string(std::int64_t{1} << j));
  return arguments;
}

}  // namespace kelvory
