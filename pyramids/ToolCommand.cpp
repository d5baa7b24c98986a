#include "pyramids/ToolCommand.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Program.h"

namespace kelvory {

std::string BundledToolPath(const std::string& programFolder) {
  const std::string gdal = programFolder.empty() ? "gdal" : platform::JoinPath(programFolder, "gdal");
  return platform::JoinPath(gdal, platform::ExecutableName("gdaladdo"));
}

std::string ToolMissingText() { return platform::ExecutableName("gdaladdo") + " не найден"; }

std::string FindTool(const std::string& programFolder) {
  const std::string beside = BundledToolPath(programFolder);
  if (platform::FileExists(beside)) return beside;
  return platform::FindOnPath(platform::ExecutableName("gdaladdo"));
}

std::vector<std::string> ToolArguments(const std::string& workingPath, const std::vector<std::int64_t>& factors,
                                       const BuildOptions& options) {
  std::vector<std::string> arguments;
  for (const auto& [key, value] : options.Config) arguments.insert(arguments.end(), {"--config", key, value});
  if (options.Method != Resampling::Nearest) arguments.insert(arguments.end(), {"-r", GdalName(options.Method)});
  // gdaladdo.exe is not aware of long paths: GDAL retries a long one in the extended
  // form when it opens a file, but not when it asks whether one is there (a sidecar)
  // or lists a folder. Given that form, it builds a file past MAX_PATH as any other,
  // so the append way's second name beside such a file serves as well: no long file
  // has to take a working copy in the short temporary folder instead.
  arguments.push_back(platform::PathForProgram(workingPath));
  for (std::int64_t factor : factors) arguments.push_back(std::to_string(factor));
  return arguments;
}

}  // namespace kelvory
