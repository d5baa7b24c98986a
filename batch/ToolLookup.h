#pragma once
// Which gdaladdo the batch command runs, and what it says of itself.
#include <string>

namespace kelvory {

// gdal/gdaladdo in the program folder (ending with '/') when it is there, else the
// gdaladdo on the PATH; empty when there is neither.
std::string FindTool(const std::string& programFolder);

// The first line the tool prints for --version ("GDAL 3.6.2, released ..."), or why
// there is none.
std::string ToolVersion(const std::string& toolPath);

}  // namespace kelvory
