#pragma once
// Finds the TIFF files in a folder tree, for adding whole folders to the list.
#include <string>
#include <system_error>
#include <vector>

#include "filelist/PathList.h"

namespace kelvory {

// True for a name ending in ".tif" or ".tiff" in any letter case.
bool HasTiffExtension(const std::string& path);

// A folder or entry a walk could not read, and why.
struct UnreadablePath {
  std::string path;
  std::error_code error;

  bool operator==(const UnreadablePath&) const = default;
};

// What a walk found: the TIFF files, and what it could not read, so that nothing is
// left out unseen. Both sorted by the bytes of the paths.
struct FolderFiles {
  PathList files;
  std::vector<UnreadablePath> unreadable;
};

// Every file with a TIFF extension at any depth below folder, as folder + the system's
// separator + the names on the way (folder given with or without a trailing separator).
// Linked folders are followed, each real folder once, so a link back up the tree ends
// nothing and repeats nothing. A subfolder that cannot be listed, in full or at all, and
// an entry whose kind cannot be learnt are reported in unreadable; only a folder that
// cannot be listed itself sets error, and gives nothing.
FolderFiles TiffFilesBelow(const std::string& folder, std::error_code& error);

// The files to add for paths given together (dropped, or named on a command line): a
// folder gives the TIFF files below it, a file with a TIFF extension itself; a folder
// that cannot be read is reported in unreadable, and anything else gives nothing.
// Files in the order given.
FolderFiles TiffFilesFor(const std::vector<std::string>& paths);

}  // namespace kelvory
