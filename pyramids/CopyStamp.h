#pragma once
// What a copy in a destination folder was made from, kept beside it in the hidden file
// FOLDER/.NAME.kelvory-stamp: the versions of its source and of the files that travel
// with it, the options that shape its levels, and the size and content of the copies
// as they were placed. The copy is up to date only while all of that still holds:
// times alone cannot tell, since rsync -a, cp -p and mv hand a new raster an older
// modification time.
//
// A version is a file's size, modification and change times and a fingerprint of its
// first and last 16 KB. The change time is the part no copying tool can set back: a
// file replaced in any way gets a new one. The copies are bound by size and
// fingerprint only, so that a destination folder copied with cp -r (which keeps
// hidden files but not times) stays up to date.
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "platform/FileClaim.h"
#include "pyramids/BuildOptions.h"

namespace kelvory {

struct CopyOrigin {
  // The versions and options as the stamp's text holds them; empty when a file of
  // them could not be read, which leaves the copy never up to date.
  std::string Record;
  // The names of the files that travel with the raster (its sidecars, a kept .ovr).
  std::vector<std::string> Travelling;
};

// The stamp's path for the copy at destination.
std::string CopyStampOf(const std::string& destination);

// What a copy of source with its sidecars made now is made from; source is read
// through the claim while it is held. levels is the level count the level rule gives
// the file.
CopyOrigin OriginOf(const std::string& source, const std::vector<std::string>& sidecars,
                    const platform::FileClaim& claim, const BuildOptions& options, std::int32_t levels);

// True when the copy at destination, with its stamp and the files beside it, was made
// from origin.
bool MadeFrom(const std::string& destination, const CopyOrigin& origin);

// Removes the stamp of destination, durably, before the copy changes: a stamp present
// always describes the files beside it. No error when there is none.
std::error_code RemoveCopyStamp(const std::string& destination);

// Writes the stamp of the copy now placed at destination: written aside, synced and
// renamed into place. An unknown origin writes none.
std::error_code WriteCopyStamp(const std::string& destination, const CopyOrigin& origin);

}  // namespace kelvory
