#pragma once
// The hidden folder beside a file in which gdaladdo -ro builds the file's levels for
// the append way and for --external. gdaladdo opens the file there through a second
// name (its own name, in that folder), so everything it reads and writes beside the
// raster (NAME.ovr, NAME.aux.xml) lies in that folder: no reader of the file sees a
// level before the build puts it in place whole. Everything in the folder is the
// build's own, and the folder's name says so.
#include <string>
#include <system_error>

namespace kelvory {

// FOLDER/.NAME.kelvory-build/ for FOLDER/NAME, with its trailing separator.
std::string WorkFolderOf(const std::string& source);
// The file's second name in its work folder: the path gdaladdo is given.
std::string AliasOf(const std::string& source);
// The overview file gdaladdo -ro writes for the alias.
std::string LevelFileOf(const std::string& source);

// Makes the work folder with the alias and copies of the sidecars GDAL reads with the
// raster (its metadata, which may hold the nodata value; its mask file), removing a
// stale one of an earlier build first.
std::error_code MakeWorkFolder(const std::string& source);
// True when the file's folder takes a work folder with a second name of the file.
bool WorkFolderPossible(const std::string& source);
// Removes the work folder and what is in it. On Windows a folder holding a second name
// of a file that is still open goes only once the file is closed: then
// RemoveEmptyWorkFolder, which leaves a folder another build has begun to fill.
void RemoveWorkFolder(const std::string& source);
void RemoveEmptyWorkFolder(const std::string& source);

// Removes the work folders in folder (ending with a separator) whose file no live
// build holds and no unfinished append build's record names. Returns how many.
int RemoveOrphanWorkFolders(const std::string& folder);

}  // namespace kelvory
