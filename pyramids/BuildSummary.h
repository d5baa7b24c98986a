#pragma once
// What a whole build did, for front ends that report it as a whole.

namespace kelvory {

struct BuildSummary {
  int Done = 0;
  int UpToDate = 0;  // needed nothing: only checked
  int Kept = 0;      // left as it is by a rule that protects it
  int Failed = 0;    // failed for a reason of the file or the tool
  int NotFound = 0;
  int Stopped = 0;   // cut short by a stop request
  int Busy = 0;      // left alone: another process was building the file
  bool ToolMissing = false;

  int Settled() const { return Done + UpToDate + Kept + Failed + NotFound + Stopped + Busy; }
};

}  // namespace kelvory
