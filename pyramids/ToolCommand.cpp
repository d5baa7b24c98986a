#include "pyramids/ToolCommand.h"

#include "platform/Files.h"
#include "platform/Program.h"

namespace kelvory {

std::string FindTool(const std::string& programFolder) {
  const std::string beside = programFolder + ToolRelativePath;
  if (platform::FileExists(beside)) return beside;
  return platform::FindOnPath("gdaladdo");
}

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

namespace {
bool PassesMethod(const std::string& resampling) { return !resampling.empty() && resampling != "nearest"; }
}  // namespace

std::string ToolCommandLine(const std::string& workingPath, const std::vector<std::int64_t>& factors,
                            const std::string& resampling) {
  std::string line = "gdal\\gdaladdo ";
  if (PassesMethod(resampling)) line += "-r " + resampling + " ";
  line += "\"" + workingPath + "\"";
  for (std::int64_t factor : factors) line += " " + std::to_string(factor);
  return line;
}

std::vector<std::string> ToolArguments(const std::string& workingPath, const std::vector<std::int64_t>& factors,
                                       const std::string& resampling) {
  std::vector<std::string> arguments;
  if (PassesMethod(resampling)) arguments = {"-r", resampling};
  arguments.push_back(workingPath);
  for (std::int64_t factor : factors) arguments.push_back(std::to_string(factor));
  return arguments;
}

std::vector<std::int64_t> AllFactors(std::int32_t levels) {
  std::vector<std::int64_t> factors;
  for (std::int32_t j = 1; j <= levels; ++j) factors.push_back(std::int64_t{1} << j);
  return factors;
}

}  // namespace kelvory
