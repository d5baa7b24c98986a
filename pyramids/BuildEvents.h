#pragma once
// What a running build tells its front end, row by row, and the two things it asks.
// Rows are the request's, by their place in it. Everything is called on the thread
// that drives the build.
#include <cstdint>
#include <string>
#include <vector>

#include "pyramids/Reason.h"

namespace kelvory {

// Done: built, copied or made current. UpToDate: needed nothing (enough levels, or a
// current copy), so was only checked. Kept: left as it is by a rule that protects it,
// the reason saying what to do instead.
enum class Outcome { Done, UpToDate, Kept, Failed, NotFound, Busy, Stopped };

// What the build does, or in a dry run would do, with a row's file.
enum class FileAction {
  None,      // not read, or refused
  Check,     // enough levels: only checked
  Copy,      // enough levels: copied to the destination as it is
  Build,     // the tool adds levels to a working copy
  Append,    // the tool builds levels beside the file, which are appended to it
  External,  // the tool adds levels to the file's external overview file
};

struct RowReport {
  int Row = -1;
  Outcome Result = Outcome::Failed;
  Reason Why;
  // A remark on a row that got its levels otherwise as asked (a level compression that
  // could not apply to it); empty for any other.
  Reason Note;
  // The file's overview levels (reduced images) before the build and after it; -1
  // when the file was not read.
  int LevelsBefore = -1;
  int LevelsAfter = -1;
  // From the row's start to its settling; 0 for a row settled before it started.
  double Seconds = 0;
  // What was (in a dry run: would be) done: the factors asked of the tool, and the
  // folder of its working copy.
  FileAction Action = FileAction::None;
  std::vector<std::int64_t> Factors;
  std::string WorkingFolder;
};

class BuildEvents {
 public:
  virtual ~BuildEvents() = default;
  // The row's turn has come: its file is being read, copied or built.
  virtual void RowStarted(int /*row*/) {}
  // The row's tool has got this far (0 to 100), as the tool itself reports it.
  virtual void RowProgress(int /*row*/, int /*percent*/) {}
  // Once for every row the build settles.
  virtual void RowSettled(const RowReport& report) = 0;
  // Asked between steps: when true, no new row starts and running tools are stopped.
  virtual bool StopRequested() { return false; }
  // Asked when a row's turn comes: true leaves the row as it is, unreported.
  virtual bool SkipRow(int /*row*/) { return false; }
};

}  // namespace kelvory
