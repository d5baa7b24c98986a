#include "pyramids/BuildRunner.h"

#include <chrono>
#include <csignal>
#include <vector>

#include "pyramids/BuildContext.h"
#include "pyramids/BuildMessages.h"
#include "pyramids/Job.h"
#include "pyramids/ToolOutcome.h"
#include "pyramids/ToolProgress.h"
#include "pyramids/WorkingCopy.h"
#include "platform/Files.h"

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

void StartNextJob(BuildHost& host, BuildContext& context, ItemProc& slot) {
  // The runner notices the request itself and stops the running tools.
  if (context.Stopping || host.StopRequested()) {
    slot.Index = host.RowCount();
    slot.Running = false;
    return;
  }
  ++context.QueueCursor;
  slot.Index = StartJob(host, context, context.QueueCursor, slot);
  slot.Running = slot.ProcessHandle.Valid();
}

// Stops the slot's tool, discards its work and settles its row as failed.
void AbandonSlot(BuildHost& host, ItemProc& slot, const std::string& reason, int graceMs) {
  slot.ProcessHandle.Stop(graceMs);
  slot.ProcessHandle.Release();
  slot.Running = false;
  DiscardWork(slot);
  FinishItem(host, slot.Index, StatusFailed, reason);
}

// Puts the processed working copy where it belongs; returns why that failed, or empty.
std::string PlaceResult(BuildHost& host, ItemProc& slot) {
  if (!slot.WorkingCopy.Valid()) return "the working copy is gone";
  if (!slot.Destination.empty()) {
    if (auto error = MoveIntoPlace(slot.WorkingCopy, slot.Destination)) {
      return "cannot replace " + slot.Destination + ": " + error.message();
    }
    return {};
  }
  const std::string source = host.RowCaption(slot.Index);
  // Whoever changed the source meanwhile (or removed it) keeps their version.
  std::error_code error;
  if (platform::StampOf(source, error) != slot.SourceStamp) {
    return error ? "cannot replace " + source + ": " + error.message()
                 : source + " changed while gdaladdo worked on a copy of it";
  }
  if ((error = ReplaceWithWorkingCopy(source, slot.WorkingCopy))) {
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
    const std::int32_t directories = context.Reader->DirectoryCount();
    context.Reader->Close();
    if (directories < slot.Levels) return NoLevels;
    return {};
  } catch (const std::exception& e) {
    context.Reader->Close();
    return std::string(NoLevels) + ": " + e.what();
  }
}

// Why the ended tool's run failed, or empty, naming the user's file rather than the
// working copy.
std::string RunFailure(BuildHost& host, BuildContext& context, const ItemProc& slot) {
  const std::string errorLine = slot.ErrorOutput ? LastErrorLine(*slot.ErrorOutput) : std::string();
  std::string failure = ToolFailure(slot.ProcessHandle.Exit(), errorLine);
  if (failure.empty() && slot.WorkingCopy.Valid()) failure = CheckLevels(context, slot);
  return WithUserPath(std::move(failure), slot.WorkingCopy.Path(), host.RowCaption(slot.Index));
}

// Settles the row of a slot whose tool has ended and gives the slot its next job.
void CollectSlot(BuildHost& host, BuildContext& context, ItemProc& slot) {
  const std::string failure = RunFailure(host, context, slot);
  slot.ProcessHandle.Release();
  slot.Running = false;
  const std::string reason = failure.empty() ? PlaceResult(host, slot) : failure;
  DiscardWork(slot);
  FinishItem(host, slot.Index, reason.empty() ? StatusDone : StatusFailed, reason);
  StartNextJob(host, context, slot);
}

std::vector<const platform::Process*> RunningProcesses(const BuildContext& context) {
  std::vector<const platform::Process*> processes;
  for (const ItemProc& slot : context.Slots) {
    if (slot.Running) processes.push_back(&slot.ProcessHandle);
  }
  return processes;
}

// Asks every running tool to end at once, so the grace periods run side by side.
void BeginStop(BuildContext& context) {
  context.Stopping = true;
  for (ItemProc& slot : context.Slots) {
    if (slot.Running) slot.ProcessHandle.Signal(SIGTERM);
  }
}

void VisitRunningSlot(BuildHost& host, BuildContext& context, ItemProc& slot,
                      std::chrono::steady_clock::time_point stopDeadline) {
  if (context.Stopping) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        stopDeadline - std::chrono::steady_clock::now()).count();
    AbandonSlot(host, slot, "stopped", left > 0 ? static_cast<int>(left) : 0);
    slot.Index = host.RowCount();
    return;
  }
  // Any tool of the build that ends cuts the wait short, so no finished tool sits
  // unnoticed while this slot is waited on.
  std::error_code error;
  const auto running = RunningProcesses(context);
  platform::WaitAny(running, WaitLimitMs, error);
  if (!error && !slot.ProcessHandle.TryReap(error) && !error) return;
  if (error) {
    // The tool may still be running: end it before anything is done with its copy.
    AbandonSlot(host, slot, "waiting for gdaladdo failed: " + error.message(), 0);
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
  while (!context.AllFinished) {
    context.AllFinished = true;
    for (ItemProc& slot : context.Slots) {
      if (!context.Stopping && host.StopRequested()) {
        BeginStop(context);
        stopDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(StopGraceMs);
      }
      if (slot.Index == -1) {
        StartNextJob(host, context, slot);
      } else if (slot.Running) {
        try {
          VisitRunningSlot(host, context, slot, stopDeadline);
        } catch (...) {
          // Never leave a slot holding a tool or a copy nobody will collect.
          slot.ProcessHandle.Release();
          slot.Running = false;
          DiscardWork(slot);
          slot.Index = -1;
          host.ShowMessage(CollectErrorMessage);
        }
      }
      if (slot.Running) ReportProgress(host, slot);
      if (slot.Running || slot.Index == -1) context.AllFinished = false;
      host.ProcessMessages();
    }
  }
}

void Build(BuildHost& host, BuildContext& context) {
  if (!platform::FileExists(context.ToolPath)) {
    host.ShowMessage(ToolMissingMessage);
    return;
  }
  context.ToolCommandPrefix = ToolCommandPrefix();
  context.LevelSuffixes = LevelSuffixes();
  context.Reader = std::make_unique<TTIFFBitmap>();
  context.QueueCursor = -1;
  context.AllFinished = false;
  context.Startup = ToolStartup{};
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
  for (ItemProc& slot : context.Slots) {
    if (!slot.Running) continue;
    try {
      AbandonSlot(host, slot, "the build was aborted", 0);
    } catch (...) {
    }
  }
}

}  // namespace

void RunBuild(BuildHost& host) {
  try {
    BuildContext context;
    context.TempFolder = platform::TempFolder();
    const int rows = host.RowCount();
    for (int row = 0; row < rows; ++row) {
      if (host.RowChecked(row)) context.CheckedIndexes.push_back(row);
    }
    if (context.CheckedIndexes.empty()) return;

    host.SetBuilding(true);
    host.SetBuildButtonEnabled(false);
    host.SetBuildButtonCaption(WaitCaption);
    host.SetGroupBoxEnabled(false);
    context.ToolPath = host.ProgramFolder() + ToolRelativePath;
    try {
      Build(host, context);
    } catch (...) {
      SettleLeftovers(host, context);
    }
    RestoreWindow(host, context);
  } catch (...) {
    // The host itself failed; the context's owners have stopped every tool and
    // removed every working copy on the way out.
  }
}

}  // namespace kelvory
