#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "pyramids/BuildOptions.h"
#include "pyramids/ItemProc.h"
#include "pyramids/ToolCommand.h"
#include "pyramids/ToolStartup.h"
#include "tiff/TIFFBitmap.h"

namespace kelvory {

// The state of one build, made when it starts and dropped when it ends. Dropping it
// stops any tool still running and removes every working copy it still owns.
struct BuildContext {
  std::string TempFolder;
  std::vector<std::int32_t> CheckedIndexes;
  std::int32_t QueueCursor = -1;
  std::vector<ItemProc> Slots;
  std::unique_ptr<TTIFFBitmap> Reader;
  std::string ToolCommandPrefix;
  LevelSuffixList LevelSuffixes;
  ToolStartup Startup;
  bool AllFinished = false;

  // The tool's absolute path.
  std::string ToolPath;
  // Destination paths already written in this build, so that a second row with the
  // same file name never overwrites the first one's copy.
  std::set<std::string> Destinations;
  // Set once a stop has been asked for: no job starts any more.
  bool Stopping = false;
  BuildOptions Options;
};

}  // namespace kelvory
