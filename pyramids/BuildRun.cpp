#include "pyramids/BuildRun.h"

#include "pyramids/WorkFolder.h"

#include <chrono>
#include <vector>

#include "pyramids/BuildContext.h"
#include "pyramids/CopyStamp.h"
#include "pyramids/FilePlan.h"
#include "pyramids/Job.h"
#include "pyramids/LevelInventory.h"
#include "pyramids/ToolOutcome.h"
#include "pyramids/ToolProgress.h"
#include "pyramids/ToolThreads.h"
#include "pyramids/WorkFolder.h"
#include "pyramids/WorkingCopy.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Program.h"

namespace kelvory {
namespace {

constexpr int WaitLimitMs = 100;
// How long a stopped tool may take to end on SIGTERM before it is killed.
constexpr int StopGraceMs = 2000;
// Two file workers: a copy into one working file and the placing of another tool's
// result run side by side; more only compete for the same disk.
constexpr int FileWorkerCount = 2;

void StartNextJob(BuildContext& context, ItemProc& slot) {
  // The runner notices the request itself and stops the running tools.
  if (context.Stopping || context.Events.StopRequested()) {
    slot.Row = -1;
    slot.Exhausted = true;
    slot.Running = false;
    return;
  }
  StartJob(context, slot);
}

// Stops the slot's tool, discards its work and settles its row.
void AbandonSlot(BuildContext& context, ItemProc& slot, Outcome result, const Reason& why, int graceMs) {
  slot.ProcessHandle.Stop(graceMs);
  slot.ProcessHandle.Release();
  slot.Running = false;
  DiscardWork(slot);
  SettleRow(context, slot.Row, result, why);
  slot.Row = -1;
}

// Puts the processed working copy where it belongs; returns why that failed, or none.
// Runs beside the tools.
Reason PlaceResult(ItemProc& work) {
  if (work.Append) {
    // Whoever changed the file meanwhile keeps their version; the build is undone.
    std::error_code error;
    if (platform::StampOf(work.AppendTarget, error) != work.SourceStamp) {
      return error ? MakeReasonAt(FailedStep::StampRead, ReasonCode::CannotAppend, {work.Source}, error)
                   : MakeReason(ReasonCode::ChangedDuringBuild, {work.Source});
    }
    try {
      work.Append->Finish();
    } catch (const std::exception& e) {
      return AppendFailure(work.Source, e);
    }
    return {};
  }
  if (work.External) {
    const std::error_code error = work.ExternalBuild.Commit();
    return error ? MakeReason(ReasonCode::CannotReplace, {work.ExternalBuild.Unreplaced()}, error) : Reason{};
  }
  if (!work.WorkingCopy.Valid()) return MakeReason(ReasonCode::WorkingCopyGone);
  if (!work.Destination.empty()) {
    // The tool needed to write the copy; the result gets the source's permissions.
    if (auto error = platform::CopyPermissions(work.Source, work.WorkingCopy.Path())) {
      return MakeReason(ReasonCode::CannotCopyTo, {platform::FolderOf(work.Destination)}, error);
    }
    // The stamp goes first and comes back last, so that one present always describes
    // the files beside it; the raster goes in after its sidecars, so that a copy found
    // at the destination always has them, and no overview file that GDAL would read
    // instead of the new levels.
    if (auto error = RemoveCopyStamp(work.Destination)) {
      return MakeReason(ReasonCode::CannotWriteRecord, {CopyStampOf(work.Destination)}, error);
    }
    PlaceSidecars(work.Sidecars);
    if (!work.StaleOverviews.empty()) {
      if (auto error = platform::DeleteFile(work.StaleOverviews)) {
        return MakeReason(ReasonCode::CannotRemoveStale, {work.StaleOverviews}, error);
      }
    }
    if (auto error = MoveIntoPlace(work.WorkingCopy, work.Destination)) {
      return MakeReason(ReasonCode::CannotReplace, {work.Destination}, error);
    }
    if (auto error = WriteCopyStamp(work.Destination, work.Origin)) {
      return MakeReason(ReasonCode::CannotWriteRecord, {CopyStampOf(work.Destination)}, error);
    }
    return {};
  }
  // Whoever changed the source meanwhile (or removed it) keeps their version.
  std::error_code error;
  if (platform::StampOf(work.Source, error) != work.SourceStamp) {
    return error ? MakeReason(ReasonCode::CannotReplace, {work.Source}, error)
                 : MakeReason(ReasonCode::ChangedDuringBuild, {work.Source});
  }
  if ((error = ReplaceWithWorkingCopy(work.Source, work.WorkingCopy))) {
    return MakeReason(ReasonCode::CannotReplace, {work.Source}, error);
  }
  return {};
}

// A tool that reports success may still have written nothing, for example when its
// error output was lost: the working copy must hold every level the job asked for.
Reason CheckLevels(BuildContext& context, const ItemProc& slot) {
  Reason noLevels = MakeReason(ReasonCode::ToolNoLevels);
  try {
    // A working copy's levels must be inside it: an overview file beside it is what
    // the tool makes of a copy it could not write.
    LevelInventory inventory;
    if (slot.Append) {
      inventory = CountedLevelsOf(*context.Reader, slot.AppendTarget, slot.Claim, LevelFileOf(slot.AppendTarget));
    } else if (slot.External) {
      inventory = CountedLevelsOf(*context.Reader, slot.Source, slot.Claim, slot.ExternalBuild.Scratch());
    } else {
      context.Reader->LoadFromFile(slot.WorkingCopy.Path());
      inventory = ReadLevelInventory(*context.Reader);
      context.Reader->Close();
    }
    if (!HasEnoughLevels(inventory, slot.Levels)) return noLevels;
    return {};
  } catch (const std::exception& e) {
    context.Reader->Close();
    const Reason why = ReasonOf(e);
    if (why.Code != ReasonCode::Unexpected && why.Code != ReasonCode::CannotOpen) noLevels.Detail = why.Code;
    return noLevels;
  }
}

// Why gdal_translate's run failed, given the failure its ending shows, or none: the
// file it wrote must be a COG with every level.
Reason CogLayoutFailure(BuildContext& context, const ItemProc& slot, Reason failure) {
  if (failure.Code == ReasonCode::ToolExitStatus || failure.Code == ReasonCode::ToolSignal) {
    const char* how = failure.Code == ReasonCode::ToolSignal ? "signal " : "exit status ";
    failure = MakeReason(ReasonCode::CogNotWritten, {slot.Source, how + failure.Args.at(0)});
  }
  if (failure.Empty()) {
    try {
      context.Reader->LoadFromFile(slot.CogCopy.Path());
      const LevelInventory inventory = ReadLevelInventory(*context.Reader);
      const bool cog = context.Reader->DeclaresCogLayout();
      context.Reader->Close();
      if (!cog || !HasEnoughLevels(inventory, slot.Levels)) {
        failure = MakeReason(ReasonCode::CogNotWritten, {slot.Source, "its layout or levels are missing"});
      }
    } catch (const std::exception& e) {
      context.Reader->Close();
      failure = MakeReason(ReasonCode::CogNotWritten, {slot.Source, e.what()});
    }
  }
  failure = WithUserPath(std::move(failure), slot.CogCopy.Path(), slot.Source);
  return WithUserPath(std::move(failure), slot.WorkingCopy.Path(), slot.Source);
}

// Why the ended tool's run failed, or none, naming the user's file rather than the
// working copy.
Reason RunFailure(BuildContext& context, const ItemProc& slot) {
  const std::string errorLine = slot.ErrorOutput ? MostTellingErrorLine(*slot.ErrorOutput) : std::string();
  // The levels go beside the file for an append or external build, else into the copy.
  const std::string& written = slot.Append ? slot.AppendTarget : slot.External ? slot.Source : slot.WorkingCopy.Path();
  Reason failure = ToolFailure(slot.ProcessHandle.Exit(), errorLine, Unslashed(platform::FolderOf(written)));
  if (slot.CogCopy.Valid()) return CogLayoutFailure(context, slot, std::move(failure));
  const bool lastRun = !slot.Append || slot.AppendRun + 1 >= slot.Append->ToolRuns().size();
  if (failure.Empty() && lastRun && (slot.WorkingCopy.Valid() || slot.External || slot.Append)) {
    failure = CheckLevels(context, slot);
  }
  // The tool names the file by the path it was given.
  if (slot.Append) return WithUserPath(std::move(failure), AliasOf(slot.AppendTarget), slot.Source);
  if (slot.External) return WithUserPath(std::move(failure), slot.ExternalBuild.ToolTarget(), slot.Source);
  return WithUserPath(std::move(failure), slot.WorkingCopy.Path(), slot.Source);
}

// Hands the result of a slot whose tool has ended to the file workers (or settles a
// failed run) and gives the slot its next job at once.
void CollectSlot(BuildContext& context, ItemProc& slot) {
  ReportProgress(context.Events, slot);
  const Reason failure = RunFailure(context, slot);
  slot.ProcessHandle.Release();
  slot.Running = false;
  // An append build's next run (the mask's levels) starts in the same slot.
  if (failure.Empty() && slot.Append && slot.AppendRun + 1 < slot.Append->ToolRuns().size()) {
    ++slot.AppendRun;
    slot.ReportedPercent = -1;
    if (!LaunchTool(context, slot)) StartNextJob(context, slot);
    return;
  }
  // A COG's working copy, its levels built, is written out as a COG; that file then
  // is the result.
  if (failure.Empty() && slot.AsCog) {
    if (!slot.CogCopy.Valid()) {
      slot.ReportedPercent = -1;
      if (!BeginCogLayout(context, slot)) StartNextJob(context, slot);
      return;
    }
    platform::TempFile written = std::move(slot.CogCopy);
    RemoveBesideCogCopy(written.Path());
    slot.WorkingCopy = std::move(written);
    slot.AsCog = false;
  }
  if (!failure.Empty()) {
    DiscardWork(slot);
    SettleRow(context, slot.Row, Outcome::Failed, failure);
  } else {
    auto owned = std::make_unique<PendingSettle>();
    PendingSettle& pending = *owned;
    pending.Row = slot.Row;
    pending.Work = std::move(slot);
    DiscardWork(slot);
    // In the queue before its task runs, so that nothing can drop it under the task.
    context.Pending.push_back(std::move(owned));
    pending.Task = context.Workers->Submit([work = &pending.Work] { return PlaceResult(*work); });
  }
  slot.Row = -1;
  StartNextJob(context, slot);
}

// Settles, in the order they were handed over, the rows whose file work is done.
void SettlePending(BuildContext& context) {
  while (!context.Pending.empty() && (context.Pending.front()->Decided || context.Pending.front()->Task->Done())) {
    const std::unique_ptr<PendingSettle> pending = std::move(context.Pending.front());
    context.Pending.pop_front();
    if (pending->Decided) {
      SettleRowNow(context, pending->Row, pending->Result, pending->Why);
      continue;
    }
    DiscardWork(pending->Work);
    const FileWork& task = *pending->Task;
    if (task.Cancelled()) {
      SettleRowNow(context, pending->Row, Outcome::Stopped, task.Failure());
    } else {
      SettleRowNow(context, pending->Row, task.Failure().Empty() ? Outcome::Done : Outcome::Failed, task.Failure());
    }
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
  context.StopDeadline = Clock::now() + std::chrono::milliseconds(StopGraceMs);
  const Reason stopped = MakeReason(ReasonCode::Stopped);
  for (ItemProc& slot : context.Slots) {
    if (slot.Running) slot.ProcessHandle.Terminate();
    if (slot.Preparation) context.Workers->Cancel(slot.Preparation, stopped);
  }
  for (const auto& pending : context.Pending) {
    if (pending->CancelOnStop && pending->Task) context.Workers->Cancel(pending->Task, stopped);
  }
}

void VisitSlot(BuildContext& context, ItemProc& slot) {
  if (slot.Exhausted) return;
  if (slot.Row == -1) {
    StartNextJob(context, slot);
    return;
  }
  if (slot.Preparation) {
    if (!slot.Preparation->Done()) return;
    if (context.Stopping) {
      DiscardWork(slot);
      SettleRow(context, slot.Row, Outcome::Stopped, MakeReason(ReasonCode::Stopped));
      slot.Row = -1;
      slot.Exhausted = true;
      return;
    }
    if (!LaunchTool(context, slot)) StartNextJob(context, slot);
    return;
  }
  if (!slot.Running) return;
  if (context.Stopping) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(context.StopDeadline - Clock::now()).count();
    AbandonSlot(context, slot, Outcome::Stopped, MakeReason(ReasonCode::Stopped),
                left > 0 ? static_cast<int>(left) : 0);
    slot.Exhausted = true;
    return;
  }
  std::error_code error;
  if (!slot.ProcessHandle.TryReap(error) && !error) {
    ReportProgress(context.Events, slot);
    return;
  }
  if (error) {
    // The tool may still be running: end it before anything is done with its copy.
    AbandonSlot(context, slot, Outcome::Failed, MakeReason(ReasonCode::WaitFailed, {}, error), 0);
    StartNextJob(context, slot);
    return;
  }
  CollectSlot(context, slot);
}

// Waits for the copy under way in the slot: it cannot be cut short, and ends soon.
void AwaitPreparation(BuildContext& context, ItemProc& slot) {
  while (slot.Preparation && !slot.Preparation->Done()) {
    std::error_code error;
    platform::WaitAny({}, context.Wake, WaitLimitMs, error);
    context.Wake.Clear();
  }
}

// A slot whose visit failed unexpectedly: it holds no tool or copy nobody collects,
// and its row settles as failed.
void RecoverSlot(BuildContext& context, ItemProc& slot, const Reason& why) {
  if (slot.Preparation) context.Workers->Cancel(slot.Preparation, MakeReason(ReasonCode::Stopped));
  AwaitPreparation(context, slot);
  const int row = slot.Row;
  slot.ProcessHandle.Release();
  slot.Running = false;
  DiscardWork(slot);
  slot.Row = -1;
  try {
    if (row >= 0) SettleRow(context, row, Outcome::Failed, why);
  } catch (...) {
  }
}

// Whatever cut the build short, no tool keeps running and no row stays in progress.
void SettleLeftovers(BuildContext& context) {
  const Reason aborted = MakeReason(ReasonCode::Aborted);
  if (context.Workers) context.Workers->CancelQueued(aborted);
  for (ItemProc& slot : context.Slots) {
    if (!slot.Running && !slot.Preparation) continue;
    try {
      AwaitPreparation(context, slot);
      slot.Preparation.reset();
      AbandonSlot(context, slot, Outcome::Failed, aborted, 0);
    } catch (...) {
    }
  }
  try {
    while (!context.Pending.empty()) {
      std::error_code error;
      platform::WaitAny({}, context.Wake, WaitLimitMs, error);
      context.Wake.Clear();
      SettlePending(context);
    }
  } catch (...) {
  }
}

}  // namespace

BuildRun::BuildRun(BuildRequest request, BuildEvents& events)
    : context_(std::make_unique<BuildContext>(std::move(request), events)) {}

BuildRun::~BuildRun() = default;

const BuildSummary& BuildRun::Summary() const { return context_->Summary; }

void BuildRun::Start() {
  BuildContext& context = *context_;
  started_ = true;
  if (context.Request.Rows.empty()) {
    finished_ = true;
    return;
  }
  if (!platform::FileExists(context.Request.ToolPath)) {
    context.Summary.ToolMissing = true;
    finished_ = true;
    return;
  }
  const std::string& chosen = context.Request.Options.TempFolder;
  context.TempFolder = chosen.empty() ? platform::TempFolder() : platform::JoinPath(chosen, "");
  context.Reader = std::make_unique<TTIFFBitmap>(context.Request.Options.Reading);
  context.ThreadsChosen = !ChosenThreadArguments(context.Request.Options.Config).empty() ||
                          platform::HasEnvironmentVariable(ThreadsOption);
  // Working copies of runs that died (their tools died with them) are removed first.
  platform::RemoveOrphans(context.TempFolder, TempPrefix);
  context.ClearedFolders.insert(context.TempFolder + '\0' + TempPrefix);
  if (!context.Wake.Valid()) throw Exception("cannot wait for the file workers");
  context.Workers = std::make_unique<FileWorkers>(FileWorkerCount, context.Wake);
  const int slots = context.Request.Slots;
  context.Slots = std::vector<ItemProc>(static_cast<std::size_t>(slots > 0 ? slots : 1));
  for (ItemProc& slot : context.Slots) StartNextJob(context, slot);
}

bool BuildRun::Step(int waitMs) {
  if (finished_) return false;
  BuildContext& context = *context_;
  try {
    if (!started_) {
      Start();
      return !finished_;
    }
    if (!context.Stopping && context.Events.StopRequested()) BeginStop(context);
    SettlePending(context);
    bool busy = false;
    bool ready = false;
    for (ItemProc& slot : context.Slots) {
      try {
        VisitSlot(context, slot);
      } catch (const std::exception& e) {
        RecoverSlot(context, slot, MakeReason(ReasonCode::Unexpected, {e.what()}));
      } catch (...) {
        RecoverSlot(context, slot, MakeReason(ReasonCode::Unexpected));
      }
      busy = busy || !slot.Exhausted;
      ready = ready || (!slot.Exhausted && slot.Row == -1) || (slot.Preparation && slot.Preparation->Done());
    }
    // A collected slot may just have handed its result over.
    busy = busy || !context.Pending.empty();
    if (!busy) {
      Finish();
      return false;
    }
    if (ready) return true;
    // Wakes as soon as a tool ends or a file worker is done.
    std::error_code error;
    platform::WaitAny(RunningProcesses(context), context.Wake, waitMs, error);
    context.Wake.Clear();
    return true;
  } catch (...) {
    SettleLeftovers(context);
    Finish();
    return false;
  }
}

void BuildRun::Finish() {
  finished_ = true;
  context_->Reader.reset();
}

}  // namespace kelvory
