#include "pyramids/BuildRunner.h"

#include <chrono>
#include <vector>

#include "pyramids/BuildContext.h"
#include "pyramids/BuildMessages.h"
#include "pyramids/Job.h"
#include "pyramids/LevelInventory.h"
#include "pyramids/ToolOutcome.h"
#include "pyramids/ToolProgress.h"
#include "pyramids/WorkingCopy.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace kelvory {
namespace {

constexpr int WaitLimitMs = 100;
// How long a stopped tool may take to end on SIGTERM before it is killed.
constexpr int StopGraceMs = 2000;

const std::string BuildCaption = "Построить";
const std::string WaitCaption = "Подождите...";
const std::string WindowCaption = "Генератор пирамид для TIFF";
const std::string& ToolMissingMessage = kToolMissingMessage;
const std::string& CollectErrorMessage = kCollectErrorMessage;

// Two file workers: a copy into one working file and the placing of another tool's
// result run side by side; more only compete for the same disk.
constexpr int FileWorkerCount = 2;

void StartNextJob(BuildHost& host, BuildContext& context, ItemProc& slot) {
  // The runner notices the request itself and stops the running tools.
  if (context.Stopping || host.StopRequested()) {
    slot.Index = host.RowCount();
    slot.Running = false;
    return;
  }
  ++context.QueueCursor;
  slot.Running = false;
  slot.Index = StartJob(host, context, context.QueueCursor, slot);
}

// Stops the slot's tool, discards its work and settles its row as failed.
void AbandonSlot(BuildHost& host, BuildContext& context, ItemProc& slot, const std::string& reason, int graceMs) {
  slot.ProcessHandle.Stop(graceMs);
  slot.ProcessHandle.Release();
  slot.Running = false;
  DiscardWork(slot);
  SettleRow(host, context, slot.Index, StatusFailed, reason);
}

// Puts the processed working copy where it belongs; returns why that failed, or empty.
// Runs beside the tools.
std::string PlaceResult(const std::string& source, ItemProc& work) {
  if (!work.WorkingCopy.Valid()) return "the working copy is gone";
  if (!work.Destination.empty()) {
    // The tool needed to write the copy; the result gets the source's permissions.
    if (auto error = platform::CopyPermissions(source, work.WorkingCopy.Path())) {
      return "cannot copy to " + platform::FolderOf(work.Destination) + ": " + error.message();
    }
    if (auto error = MoveIntoPlace(work.WorkingCopy, work.Destination)) {
      return "cannot replace " + work.Destination + ": " + error.message();
    }
    PlaceSidecars(work.Sidecars);
    // GDAL would go on reading the old overview file instead of the new levels.
    if (!work.StaleOverviews.empty()) {
      if (auto error = platform::DeleteFile(work.StaleOverviews)) {
        return "cannot remove the stale " + work.StaleOverviews + ": " + error.message();
      }
    }
    return {};
  }
  // Whoever changed the source meanwhile (or removed it) keeps their version.
  std::error_code error;
  if (platform::StampOf(source, error) != work.SourceStamp) {
    return error ? "cannot replace " + source + ": " + error.message()
                 : source + " changed while gdaladdo worked on a copy of it";
  }
  if ((error = ReplaceWithWorkingCopy(source, work.WorkingCopy))) {
    return "cannot replace " + source + ": " + error.message();
  }
  return {};
}

// A tool that reports success may still have written nothing, for example when its
// error output was lost: the working copy must hold every level the job asked for.
std::string CheckLevels(BuildContext& context, const ItemProc& slot) {
  constexpr const char* NoLevels = "gdaladdo did not add the overview levels";
  try {
    context.Reader->LoadFromFile(slot.WorkingCopy.Path());
    const LevelInventory inventory = ReadLevelInventory(*context.Reader);
    context.Reader->Close();
    if (!HasEnoughLevels(inventory, slot.Levels)) return NoLevels;
    return {};
  } catch (const std::exception& e) {
    context.Reader->Close();
    return std::string(NoLevels) + ": " + e.what();
  }
}

// Why the ended tool's run failed, or empty, naming the user's file rather than the
// working copy.
std::string RunFailure(BuildHost& host, BuildContext& context, const ItemProc& slot) {
  const std::string errorLine = slot.ErrorOutput ? MostTellingErrorLine(*slot.ErrorOutput) : std::string();
  std::string failure = ToolFailure(slot.ProcessHandle.Exit(), errorLine);
  if (failure.empty() && slot.WorkingCopy.Valid()) failure = CheckLevels(context, slot);
  return WithUserPath(std::move(failure), slot.WorkingCopy.Path(), host.RowCaption(slot.Index));
}

// Hands the result of a slot whose tool has ended to the file workers (or settles a
// failed run) and gives the slot its next job at once.
void CollectSlot(BuildHost& host, BuildContext& context, ItemProc& slot) {
  ReportProgress(host, slot);
  const std::string failure = RunFailure(host, context, slot);
  slot.ProcessHandle.Release();
  slot.Running = false;
  if (!failure.empty()) {
    DiscardWork(slot);
    SettleRow(host, context, slot.Index, StatusFailed, failure);
  } else {
    auto owned = std::make_unique<PendingSettle>();
    PendingSettle& pending = *owned;
    pending.Index = slot.Index;
    pending.Work = std::move(slot);
    DiscardWork(slot);
    // In the queue before its task runs, so that nothing can drop it under the task.
    context.Pending.push_back(std::move(owned));
    pending.Task = context.Workers->Submit(
        [source = host.RowCaption(pending.Index), work = &pending.Work] { return PlaceResult(source, *work); });
  }
  StartNextJob(host, context, slot);
}

// Settles, in the order they were handed over, the rows whose file work is done.
void SettlePending(BuildHost& host, BuildContext& context) {
  while (!context.Pending.empty() && (context.Pending.front()->Decided || context.Pending.front()->Task->Done())) {
    const std::unique_ptr<PendingSettle> pending = std::move(context.Pending.front());
    context.Pending.pop_front();
    if (pending->Decided) {
      SettleRowNow(host, context, pending->Index, pending->Status, pending->Reason);
      continue;
    }
    DiscardWork(pending->Work);
    const FileWork& task = *pending->Task;
    const std::string reason = task.Cancelled() ? kStoppedReason : task.Failure();
    SettleRowNow(host, context, pending->Index, reason.empty() ? StatusDone : StatusFailed, reason);
  }
}

std::vector<const platform::Process*> RunningProcesses(const BuildContext& context) {
  std::vector<const platform::Process*> processes;
  for (const ItemProc& slot : context.Slots) {
    if (slot.Running) processes.push_back(&slot.ProcessHandle);
  }
  return processes;
}

// Asks every running tool to end at once, so the grace periods run side by side, and
// drops the copies not yet begun; results already built are still put in place.
void BeginStop(BuildContext& context) {
  context.Stopping = true;
  context.Summary.StopRequested = true;
  for (ItemProc& slot : context.Slots) {
    if (slot.Running) slot.ProcessHandle.Terminate();
    if (slot.Preparation) context.Workers->Cancel(slot.Preparation, kStoppedReason);
  }
  for (const auto& pending : context.Pending) {
    if (pending->CancelOnStop && pending->Task) context.Workers->Cancel(pending->Task, kStoppedReason);
  }
}

void VisitSlot(BuildHost& host, BuildContext& context, ItemProc& slot,
               std::chrono::steady_clock::time_point stopDeadline) {
  if (slot.Index == -1) {
    StartNextJob(host, context, slot);
    return;
  }
  if (slot.Preparation) {
    if (!slot.Preparation->Done()) return;
    if (context.Stopping) {
      DiscardWork(slot);
      SettleRow(host, context, slot.Index, StatusFailed, kStoppedReason);
      slot.Index = host.RowCount();
      return;
    }
    if (!LaunchTool(host, context, slot)) StartNextJob(host, context, slot);
    return;
  }
  if (!slot.Running) return;
  if (context.Stopping) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        stopDeadline - std::chrono::steady_clock::now()).count();
    AbandonSlot(host, context, slot, kStoppedReason, left > 0 ? static_cast<int>(left) : 0);
    slot.Index = host.RowCount();
    return;
  }
  std::error_code error;
  if (!slot.ProcessHandle.TryReap(error) && !error) {
    ReportProgress(host, slot);
    return;
  }
  if (error) {
    // The tool may still be running: end it before anything is done with its copy.
    AbandonSlot(host, context, slot, "waiting for gdaladdo failed: " + error.message(), 0);
    StartNextJob(host, context, slot);
    return;
  }
  CollectSlot(host, context, slot);
}

void RestoreWindow(BuildHost& host, BuildContext& context) {
  host.SetWindowCaption(WindowCaption);
  context.Reader.reset();
  host.SetBuilding(false);
  host.SetBuildButtonCaption(BuildCaption);
  host.SetBuildButtonEnabled(true);
  host.SetGroupBoxEnabled(true);
}

void PollSlots(BuildHost& host, BuildContext& context) {
  std::chrono::steady_clock::time_point stopDeadline{};
  for (;;) {
    if (!context.Stopping && host.StopRequested()) {
      BeginStop(context);
      stopDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(StopGraceMs);
    }
    SettlePending(host, context);
    bool busy = false;
    bool ready = false;
    for (ItemProc& slot : context.Slots) {
      try {
        VisitSlot(host, context, slot, stopDeadline);
      } catch (...) {
        // Never leave a slot holding a tool or a copy nobody will collect.
        if (slot.Preparation) context.Workers->Cancel(slot.Preparation, kStoppedReason);
        while (slot.Preparation && !slot.Preparation->Done()) {
          std::error_code error;
          platform::WaitAny({}, context.Wake, WaitLimitMs, error);
          context.Wake.Clear();
        }
        const std::int32_t row = slot.Index;
        slot.ProcessHandle.Release();
        slot.Running = false;
        DiscardWork(slot);
        slot.Index = -1;
        try {
          if (row >= 0 && row < host.RowCount()) SettleRow(host, context, row, StatusFailed, CollectErrorMessage);
        } catch (...) {
        }
        host.ShowMessage(CollectErrorMessage);
      }
      busy = busy || slot.Running || slot.Preparation != nullptr || slot.Index == -1;
      ready = ready || slot.Index == -1 || (slot.Preparation && slot.Preparation->Done());
    }
    // A collected slot may just have handed its result over.
    busy = busy || !context.Pending.empty();
    context.AllFinished = !busy;
    host.ProcessMessages();
    if (!busy) return;
    if (ready) continue;
    // Wakes as soon as a tool ends or a file worker is done.
    std::error_code error;
    platform::WaitAny(RunningProcesses(context), context.Wake, WaitLimitMs, error);
    context.Wake.Clear();
  }
}

void Build(BuildHost& host, BuildContext& context) {
  if (!platform::FileExists(context.ToolPath)) {
    context.Summary.ToolMissing = true;
    host.ShowMessage(ToolMissingMessage);
    return;
  }
  context.ToolCommandPrefix = ToolCommandPrefix();
  context.LevelSuffixes = LevelSuffixes();
  context.Options = host.Options();
  context.Reader = std::make_unique<TTIFFBitmap>(context.Options.Reading);
  context.QueueCursor = -1;
  context.AllFinished = false;
  context.Startup = ToolStartup{};
  // Working copies of runs that died (their tools died with them) are removed first.
  platform::RemoveOrphans(context.TempFolder, TempPrefix);
  context.ClearedFolders.insert(context.TempFolder + '\0' + TempPrefix);
  if (host.HasDestFolder()) {
    const std::string folder = platform::JoinPath(host.DestFolder(), "");
    platform::RemoveOrphans(folder, StagePrefix);
    context.ClearedFolders.insert(folder + '\0' + StagePrefix);
  }
  if (!context.Wake.Valid()) throw Exception("cannot wait for the file workers");
  context.Workers = std::make_unique<FileWorkers>(FileWorkerCount, context.Wake);
  const int slots = host.SlotCount();
  context.Slots = std::vector<ItemProc>(static_cast<std::size_t>(slots > 0 ? slots : 1));
  for (ItemProc& slot : context.Slots) {
    StartNextJob(host, context, slot);
    host.ProcessMessages();
  }
  PollSlots(host, context);
}

// Whatever cut the build short, no tool keeps running and no row stays in progress.
void SettleLeftovers(BuildHost& host, BuildContext& context) {
  if (context.Workers) context.Workers->CancelQueued(kStoppedReason);
  for (ItemProc& slot : context.Slots) {
    if (!slot.Running && !slot.Preparation) continue;
    try {
      // A copy under way cannot be cut short; its task ends soon.
      while (slot.Preparation && !slot.Preparation->Done()) {
        std::error_code error;
        platform::WaitAny({}, context.Wake, WaitLimitMs, error);
        context.Wake.Clear();
      }
      slot.Preparation.reset();
      AbandonSlot(host, context, slot, "the build was aborted", 0);
    } catch (...) {
    }
  }
  try {
    while (!context.Pending.empty()) {
      std::error_code error;
      platform::WaitAny({}, context.Wake, WaitLimitMs, error);
      context.Wake.Clear();
      SettlePending(host, context);
    }
  } catch (...) {
  }
}

}  // namespace

BuildSummary RunBuild(BuildHost& host) {
  BuildSummary summary;
  try {
    BuildContext context;
    context.TempFolder = platform::TempFolder();
    const int rows = host.RowCount();
    for (int row = 0; row < rows; ++row) {
      if (host.RowChecked(row)) context.CheckedIndexes.push_back(row);
    }
    if (context.CheckedIndexes.empty()) return summary;

    host.SetBuilding(true);
    host.SetBuildButtonEnabled(false);
    host.SetBuildButtonCaption(WaitCaption);
    host.SetGroupBoxEnabled(false);
    context.ToolPath = host.ToolPath();
    try {
      Build(host, context);
    } catch (...) {
      SettleLeftovers(host, context);
    }
    RestoreWindow(host, context);
    summary = context.Summary;
  } catch (...) {
    // The host itself failed; the context's owners have stopped every tool and
    // removed every working copy on the way out.
  }
  return summary;
}

}  // namespace kelvory
