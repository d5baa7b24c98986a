#pragma once
// The files beside a raster that carry its place on the map and its metadata, and its
// external overviews: they travel with the raster when it is copied.
#include <map>
#include <string>
#include <vector>

namespace kelvory {

// The sidecars of source that exist, in any case of the extension: GDAL's metadata
// (NAME.aux.xml, an old-style NAME.aux or STEM.aux), its mask (NAME.msk), the world file
// (.tfw, .tifw, .tiffw, .wld), the projection (.prj), a MapInfo .tab, the satellite
// model and metadata (.rpb, _rpc.txt, .imd). An external .ovr is not among them.
std::vector<std::string> SidecarsOf(const std::string& source);
// The names in a folder, by their lower-case form.
using FolderNames = std::multimap<std::string, std::string>;
FolderNames NamesIn(const std::string& folder);
// The same from the names in source's folder as NamesIn listed them: a build of many
// files in one folder lists it once.
std::vector<std::string> SidecarsOf(const std::string& source, const FolderNames& names);

// A sidecar GDAL reads while it builds levels, and the suffix it looks for beside
// the raster's name.
struct ReadSidecar {
  std::string Path;
  std::string Suffix;
};

// The sidecars of source that change the levels gdaladdo builds: NAME.aux.xml (a
// nodata value) and the mask file (NAME.msk or NAME.MSK, named .msk beside a copy),
// which gdaladdo also writes the mask's levels into.
std::vector<ReadSidecar> SidecarsReadWithLevels(const std::string& source);

// GDAL's mask file of source (NAME.msk, or NAME.MSK), or empty.
std::string MaskFileOf(const std::string& source);

// GDAL's external overview file of source (name.ovr, any case), or empty.
std::string ExternalOverviewsOf(const std::string& source);
// The files that hold source's levels beside it: its external overview file and, with
// it, its mask file's (name.msk.ovr, where gdaladdo -ro puts the mask's levels). A
// copy that keeps the one needs the other.
std::vector<std::string> ExternalLevelFilesOf(const std::string& source);

}  // namespace kelvory
