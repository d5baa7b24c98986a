#pragma once
// Finds the TIFF files in a folder tree, for adding whole folders to the list.
#include <string>
#include <system_error>
#include <vector>

namespace kelvory {

// True for a name ending in ".tif" or ".tiff" in any letter case.
bool HasTiffExtension(const std::string& path);

// Every file with a TIFF extension at any depth below folder, as folder + "/" + the
// names on the way (folder given without a trailing separator is fine either way),
// sorted by the bytes of the paths. Linked folders are followed, each real folder
// once, so a link back up the tree ends nothing and repeats nothing. Subfolders that
// cannot be read are passed over; only an unreadable folder itself sets error.
std::vector<std::string> TiffFilesBelow(const std::string& folder, std::error_code& error);

// The files to add for paths given together (dropped, or named on a command line): a
// folder gives the TIFF files below it, a file with a TIFF extension itself; anything
// else, and folders that cannot be read, give nothing. Order as given.
std::vector<std::string> TiffFilesFor(const std::vector<std::string>& paths);

}  // namespace kelvory
