#pragma once
// The state of one build, shared by the runner and the job steps.
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pyramids/AppendLinkDecision.h"
#include "pyramids/BuildEvents.h"
#include "pyramids/BuildRequest.h"
#include "pyramids/BuildSummary.h"
#include "pyramids/FileWorkers.h"
#include "pyramids/ItemProc.h"
#include "pyramids/Sidecars.h"
#include "tiff/TIFFBitmap.h"

namespace kelvory {

using Clock = std::chrono::steady_clock;
// A file by its device and inode.
using FileKey = std::pair<unsigned long long, unsigned long long>;

// A row whose file work (putting a built copy in place, or copying a finished file to
// the destination) runs beside the tools. Its files stay owned here until it is done.
struct PendingSettle {
  int Row = 0;
  // A row settled while earlier rows' work was still running: its outcome is known and
  // waits its turn.
  bool Decided = false;
  Outcome Result = Outcome::Failed;
  Reason Why;
  // A copy of a finished file is dropped by a stop; a built copy is still put in place.
  bool CancelOnStop = false;
  ItemProc Work;
  std::shared_ptr<FileWork> Task;
};

// What a row's report is made of, as its job learns it. Kept until the build ends: a
// later name of the same file settles with the row's outcome and plan. One dense entry
// a row, where a map a kind of fact cost several hundred bytes a row.
struct RowRecord {
  bool HasStarted = false;
  bool HasLevels = false;
  bool HasPlan = false;
  bool Settled = false;
  Clock::time_point Started{};
  // The overview levels of the row's file before and after its job.
  int LevelsBefore = 0;
  int LevelsAfter = 0;
  // What the row's job does (or in a dry run would do), once decided.
  FileAction Action = FileAction::None;
  std::vector<std::int64_t> Factors;
  std::string WorkingFolder;
  // Once settled.
  Outcome Result = Outcome::Failed;
  Reason Why;
};

// Made when a build starts and dropped when it ends. Dropping it stops any tool still
// running and removes every working copy it still owns.
struct BuildContext {
  BuildContext(BuildRequest request, BuildEvents& events)
      : Request(std::move(request)), Events(events), Records(Request.Rows.size()) {}

  const BuildRequest Request;
  BuildEvents& Events;
  // By row of the request.
  std::vector<RowRecord> Records;
  std::string TempFolder;
  // The next row of the request to start.
  std::size_t NextRow = 0;
  std::vector<ItemProc> Slots;
  std::unique_ptr<TTIFFBitmap> Reader;
  // The user said how many threads GDAL uses, in the options or the environment the
  // tools inherit: they get no thread count of the build's.
  bool ThreadsChosen = false;

  // Destination paths already written in this build, so that a second row with the
  // same file name never overwrites the first one's copy.
  std::set<std::string> Destinations;
  // Set once a stop has been asked for: no job starts any more.
  bool Stopping = false;
  Clock::time_point StopDeadline{};
  BuildSummary Summary;

  // Rows naming one file (the same device and inode) run once: the first row's key,
  // and the rows waiting for its outcome.
  std::map<FileKey, int> FileRows;
  std::map<int, std::vector<int>> SameFileRows;
  // What a row's job does (or in a dry run would do), and how, once decided.
  struct Plan {
    FileAction Action = FileAction::None;
    std::vector<std::int64_t> Factors;
    std::string WorkingFolder;
    // For Append: the file itself (links resolved) and how its levels are built.
    std::string Target;
    AppendLinkDecision Decision;
  };
  // Remarks for rows that get their levels (few rows have one): see RowReport::Note.
  std::map<int, Reason> RowNotes;
  // The files this build has claimed.
  std::set<FileKey> ClaimedFiles;
  // Folders already cleared of the working copies of runs that died.
  std::set<std::string> ClearedFolders;
  // The names in each source folder, listed once to find the sidecars of its files:
  // listing it per file would make a folder of n files cost n * n.
  std::map<std::string, FolderNames> SourceFolderNames;

  // Rows whose file work runs beside the tools, settled in the order they were handed
  // over once their work is done.
  std::deque<std::unique_ptr<PendingSettle>> Pending;
  platform::Wakeup Wake;
  // Last: dropped first, so no file work is still running when the copies it works on
  // are removed.
  std::unique_ptr<FileWorkers> Workers;
};

}  // namespace kelvory
