#pragma once
// A Cloud Optimized GeoTIFF keeps its levels before the image data, in an order
// readers over the network rely on; levels added inside it land after the image and
// break that. Such a file gets its levels in a working copy as any other, and GDAL's
// COG driver then writes the copy out again in the COG layout, its levels as built.
#include <string>
#include <vector>

#include "pyramids/BuildOptions.h"

namespace kelvory {

// The COG driver's creation options that give the file at path its own compression,
// predictor, block size and JPEG quality (-co KEY=VALUE pairs, in order). Raises the
// reader's errors for a file whose structure cannot be read.
std::vector<std::string> CogCreationOptions(const std::string& path);

// gdal_translate's arguments writing from (which holds every level) as a COG at to
// with those creation options and the build's GDAL options; its levels are taken as
// they are, never made anew.
std::vector<std::string> CogTranslateArguments(const std::string& from, const std::string& to,
                                               const std::vector<std::string>& creationOptions,
                                               const BuildOptions& options);

// gdal_translate beside gdaladdo, as GDAL installs them together, else the one on the
// PATH.
std::string FindTranslateTool(const std::string& gdaladdo);

}  // namespace kelvory
