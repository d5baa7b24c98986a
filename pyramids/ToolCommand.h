#pragma once
// Where the tool is found and what it is given.
#include <cstdint>
#include <string>
#include <vector>

#include "pyramids/BuildOptions.h"

namespace kelvory {

// The tool as it lies beside the program: gdal/gdaladdo below the program's folder
// (gdal\gdaladdo.exe on Windows); with no folder, that relative path.
std::string BundledToolPath(const std::string& programFolder);

// The build's word that the tool is missing, naming the file it looked for by the
// system's name for it: "gdaladdo.exe не найден" on Windows, "gdaladdo не найден" here.
std::string ToolMissingText();

// The tool beside the program when it is there, else the first gdaladdo in the
// absolute folders of the PATH; empty when there is neither.
std::string FindTool(const std::string& programFolder);

// The tool's arguments after its own name: the configuration options, "-r method"
// unless it is nearest (the tool's default), the working path (in the form
// platform::PathForProgram gives) and the factors.
std::vector<std::string> ToolArguments(const std::string& workingPath, const std::vector<std::int64_t>& factors,
                                       const BuildOptions& options = {});

}  // namespace kelvory
