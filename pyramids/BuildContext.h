#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <utility>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "pyramids/BuildOptions.h"
#include "pyramids/BuildSummary.h"
#include "pyramids/FileWorkers.h"
#include "pyramids/StatusImage.h"
#include "pyramids/ItemProc.h"
#include "pyramids/ToolCommand.h"
#include "pyramids/ToolStartup.h"
#include "tiff/TIFFBitmap.h"

namespace kelvory {

// A row whose file work (putting a built copy in place, or copying a finished file to
// the destination) runs beside the tools. Its files stay owned here until it is done.
struct PendingSettle {
  std::int32_t Index = 0;
  // A row settled while earlier rows' work was still running: its outcome is known and
  // waits its turn.
  bool Decided = false;
  StatusImage Status = StatusNone;
  std::string Reason;
  // A copy of a finished file is dropped by a stop; a built copy is still put in place.
  bool CancelOnStop = false;
  ItemProc Work;
  std::shared_ptr<FileWork> Task;
};

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
  BuildSummary Summary;

  // Rows naming one file (the same device and inode) run once: the first row's key,
  // the rows waiting for its outcome, and the outcomes of the rows settled so far.
  std::map<std::pair<unsigned long long, unsigned long long>, std::int32_t> FileRows;
  std::map<std::int32_t, std::vector<std::int32_t>> SameFileRows;
  std::map<std::int32_t, std::pair<StatusImage, std::string>> Outcomes;
  // The overview levels of each row's file before and after its job, once read.
  std::map<std::int32_t, std::pair<int, int>> RowLevels;
  // The files this build has claimed (device and inode).
  std::set<std::pair<unsigned long long, unsigned long long>> ClaimedFiles;
  // Folders already cleared of the working copies of runs that died.
  std::set<std::string> ClearedFolders;

  // Rows whose file work runs beside the tools, settled in the order they were handed
  // over once their work is done.
  std::deque<std::unique_ptr<PendingSettle>> Pending;
  platform::Wakeup Wake;
  // Last: dropped first, so no file work is still running when the copies it works on
  // are removed.
  std::unique_ptr<FileWorkers> Workers;
};

}  // namespace kelvory
