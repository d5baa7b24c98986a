#pragma once
// What a build does with one file, decided from its structure before anything is
// copied or started: nothing, a plain copy to the destination, or the tool.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileClaim.h"
#include "pyramids/BuildOptions.h"
#include "pyramids/CopyStamp.h"
#include "pyramids/LevelInventory.h"

namespace kelvory {

struct FilePlan {
  enum class Action {
    UpToDate,           // enough levels (or an up-to-date copy): only checked
    CopyToDestination,  // enough levels: copied as it is
    Build,              // the tool adds the missing levels
    BuildExternal,      // the tool adds them to the external overview file
  };
  Action Do = Action::UpToDate;
  LevelInventory Inventory;
  // The levels the level rule asks for.
  std::int32_t LevelsWanted = 0;
  // The overview levels (reduced images) the file holds now, an external overview
  // file's included.
  int LevelsBefore = 0;
  // The file's external overview file, or empty.
  std::string Overviews;
  // The factors the tool is asked for: only those the file lacks, unless forced.
  std::vector<std::int64_t> Factors;
  // The overview levels the result will hold (an up-to-date copy: those it holds).
  int LevelsAfter = 0;
  // The file is a Cloud Optimized GeoTIFF that is built in a working copy and written
  // as a COG again with its levels.
  bool AsCog = false;
  // For a copy into a destination folder: what it is made from, for its stamp.
  CopyOrigin Origin;
};

// The levels the file at path holds, those of its external overview file included;
// a file this process claims is read through the claim (on Windows the claim's write
// access keeps the reader's own open out). Raises the reader's errors.
LevelInventory CountedLevelsOf(TTIFFBitmap& reader, const std::string& path, const platform::FileClaim& claim);
// The same with the levels in overviews (an overview file being built), not in path's own.
LevelInventory CountedLevelsOf(TTIFFBitmap& reader, const std::string& path, const platform::FileClaim& claim,
                               const std::string& overviews);

// Reads the file and decides. destination is where its copy goes, with the sidecars,
// empty when it is built in place. Raises BuildError for a file that cannot be built:
// unreadable, too large for the level rule, or kept as it is in place (its levels in
// an external overview file, a Cloud Optimized GeoTIFF).
FilePlan PlanFile(TTIFFBitmap& reader, const std::string& source, const std::string& destination,
                  const std::vector<std::string>& sidecars, const platform::FileClaim& claim,
                  const BuildOptions& options);

}  // namespace kelvory
