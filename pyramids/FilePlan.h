#pragma once
// What a build does with one file, decided from its structure before anything is
// copied or started: nothing, a plain copy to the destination, or the tool.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileClaim.h"
#include "pyramids/BuildOptions.h"
#include "pyramids/LevelInventory.h"

namespace kelvory {

struct FilePlan {
  enum class Action {
    UpToDate,           // enough levels, built in place: only checked
    CopyToDestination,  // enough levels: copied as it is
    Build,              // the tool adds the missing levels
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
  // The factors the tool is asked for: only those the file lacks.
  std::vector<std::int64_t> Factors;
};

// Reads the file and decides. destination is where its copy goes, empty when it is
// built in place. Raises BuildError, or the reader's errors, for a file that cannot be
// built: unreadable, too large for the level rule, or kept as it is in place (its
// levels in an external overview file, a Cloud Optimized GeoTIFF).
FilePlan PlanFile(TTIFFBitmap& reader, const std::string& source, const std::string& destination,
                  const platform::FileClaim& claim);

}  // namespace kelvory
