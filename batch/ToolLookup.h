#pragma once
// What the batch command's gdaladdo says of itself.
#include <string>

namespace kelvory {

// The first line the tool prints for --version ("GDAL 3.6.2, released ..."), or why
// there is none.
std::string ToolVersion(const std::string& toolPath);

}  // namespace kelvory
