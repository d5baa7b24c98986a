#pragma once
// The tool's command pieces. The command line they make is only ever shown or logged;
// the tool itself is started by its absolute path with an argument vector.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pyramids/LevelRule.h"

namespace kelvory {

// Where the tool lies below the program's folder.
#ifdef _WIN32
inline constexpr const char* ToolRelativePath = "gdal\\gdaladdo.exe";
#else
inline constexpr const char* ToolRelativePath = "gdal/gdaladdo";
#endif

// The tool beside the program (programFolder ends with a separator) when it is there,
// else the gdaladdo on the PATH; empty when there is neither.
std::string FindTool(const std::string& programFolder);

// "gdal\gdaladdo", a blank and an opening double quote.
std::string ToolCommandPrefix();

// Entry j (1 to 20) closes the quoted path and lists the factors 2, 4, ..., 2^j, each
// after one blank. Entry 0 is empty: there is no command line for zero levels.
using LevelSuffixList = std::array<std::string, MaxLevels + 1>;
LevelSuffixList LevelSuffixes();

// The command line as it would be shown: prefix, working path, suffix for levels.
std::string ToolCommandLine(const std::string& prefix, const LevelSuffixList& suffixes,
                            const std::string& workingPath, std::int32_t levels);

// The command line as it would be shown for a run with a resampling method and only
// some of the factors; with nearest and every factor it is ToolCommandLine's.
std::string ToolCommandLine(const std::string& workingPath, const std::vector<std::int64_t>& factors,
                            const std::string& resampling);

// The tool's arguments after its own name: "-r method" unless it is nearest (the
// tool's default), the working path and the factors.
std::vector<std::string> ToolArguments(const std::string& workingPath, const std::vector<std::int64_t>& factors,
                                       const std::string& resampling = {});

// The factors 2, 4, ..., 2^levels.
std::vector<std::int64_t> AllFactors(std::int32_t levels);

}  // namespace kelvory
