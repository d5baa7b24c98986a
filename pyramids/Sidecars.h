#pragma once
// The files beside a raster that carry its place on the map and its metadata, and its
// external overviews: they travel with the raster when it is copied.
#include <map>
#include <string>
#include <vector>

namespace kelvory {

// The sidecars of source that exist: its world file (.tfw, .tifw, .tiffw, .wld), its
// projection (.prj) and GDAL's metadata (name.aux.xml), in any case of the extension.
std::vector<std::string> SidecarsOf(const std::string& source);
// The names in a folder, by their lower-case form.
using FolderNames = std::multimap<std::string, std::string>;
FolderNames NamesIn(const std::string& folder);
// The same from the names in source's folder as NamesIn listed them: a build of many
// files in one folder lists it once.
std::vector<std::string> SidecarsOf(const std::string& source, const FolderNames& names);

// GDAL's external overview file of source (name.ovr, any case), or empty.
std::string ExternalOverviewsOf(const std::string& source);

}  // namespace kelvory
