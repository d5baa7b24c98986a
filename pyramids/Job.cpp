#include "pyramids/Job.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "pyramids/AppendLink.h"
#include "pyramids/AppendRecovery.h"
#include "pyramids/CogLayout.h"
#include "pyramids/CopyStamp.h"
#include "pyramids/ExternalLevels.h"
#include "pyramids/FilePlan.h"
#include "pyramids/LevelCompression.h"
#include "pyramids/LevelInventory.h"
#include "pyramids/Sidecars.h"
#include "pyramids/ToolCommand.h"
#include "pyramids/ToolThreads.h"
#include "pyramids/WorkFolder.h"
#include "pyramids/WorkingCopy.h"
#include "platform/Errors.h"
#include "platform/FileAttributes.h"
#include "platform/Files.h"
#include "platform/FolderEntries.h"
#include "platform/Paths.h"
#include "platform/ReplaceFile.h"
#include "tiff/TIFFError.h"

namespace kelvory {
namespace {

// Reserves the row's destination, making its folder as needed; a second row with the
// same destination is refused rather than overwriting the first one's copy.
void ReserveDestination(BuildContext& context, const std::string& destination) {
  if (!context.Destinations.insert(destination).second) Refuse(ReasonCode::DestinationTaken, {destination});
  const std::string folder = platform::FolderOf(destination);
  if (auto error = platform::MakeFolders(folder)) Refuse(ReasonCode::CannotCreateFolder, {Unslashed(folder)}, error);
}

// Stages a copy of each sidecar of source in folder, to be put in place with the file.
std::vector<StagedSidecar> StageSidecars(const std::vector<std::string>& sidecars, const std::string& folder) {
  std::vector<StagedSidecar> staged;
  for (const std::string& sidecar : sidecars) {
    StagedSidecar copy{{}, folder + platform::FileNameOf(sidecar), {}, {}};
    if (auto error = StageCopy(sidecar, folder, copy.Staged)) Refuse(ReasonCode::CannotCopy, {sidecar, folder}, error);
    staged.push_back(std::move(copy));
  }
  return staged;
}

// Copies the sidecars GDAL reads with source beside working, named for it, so that
// gdaladdo builds the copy's levels as it would the file's; the copies stay writable
// for the tool, as the working copy does. Their paths.
std::vector<std::string> CopyReadSidecars(const std::vector<ReadSidecar>& read, const std::string& working) {
  std::vector<std::string> made;
  for (const ReadSidecar& sidecar : read) {
    made.push_back(working + sidecar.Suffix);
    if (auto error = platform::CopyFile(sidecar.Path, made.back())) {
      Refuse(ReasonCode::CannotCopy, {sidecar.Path, platform::FolderOf(working)}, error);
    }
  }
  return made;
}

// The copy of a file that needs no levels, with its sidecars: all are copied aside
// first, so that a failed copy leaves no half set, and put in place sidecars first,
// between the old stamp's removal and the new one's writing; never onto itself. Runs
// beside the tools.
Reason CopyToDestination(const std::string& source, const std::string& destination,
                         const std::vector<std::string>& sidecars, const CopyOrigin& origin) {
  if (platform::SameFile(source, destination)) return {};
  const std::string folder = platform::FolderOf(destination);
  std::vector<StagedSidecar> staged = StageSidecars(sidecars, folder);
  platform::TempFile file;
  if (auto error = StageCopy(source, folder, file)) return MakeReason(ReasonCode::CannotCopyTo, {destination}, error);
  if (auto error = RemoveCopyStamp(destination)) {
    return MakeReason(ReasonCode::CannotWriteRecord, {CopyStampOf(destination)}, error);
  }
  // The raster last: a copy found at the destination always has its sidecars.
  PlaceSidecars(staged);
  if (auto error = MoveIntoPlace(file, destination)) return MakeReason(ReasonCode::CannotReplace, {destination}, error);
  if (auto error = WriteCopyStamp(destination, origin)) {
    return MakeReason(ReasonCode::CannotWriteRecord, {CopyStampOf(destination)}, error);
  }
  return {};
}

// Removes, once per build and folder, the working copies of runs that died, settles
// their unfinished appends and removes their work folders. True when it settled an
// append, which may have changed a file of the folder.
bool ClearOrphans(BuildContext& context, const std::string& folder, const char* prefix) {
  if (!context.ClearedFolders.insert(folder + '\0' + prefix).second) return false;
  platform::RemoveOrphans(folder, prefix);
  return std::string(prefix) == StagePrefix && RecoverAppendLinks(folder) > 0;
}

// A size as people read it: "640 MB", "1.3 GB".
std::string SizeText(unsigned long long bytes) {
  const char* units[] = {"bytes", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, value < 10 && unit > 0 ? "%.1f %s" : "%.0f %s", value, units[unit]);
  return text;
}

// Where a row's result goes, the version of its source that was read, and the file it
// names (through any link), resolved once.
struct Target {
  // The destination's path; empty when the row has no destination folder. A
  // destination that is the source itself is built in place.
  std::string Destination;
  bool InPlace = true;
  platform::FileStamp Stamp;
  std::error_code StampError;
  std::string Resolved;
  std::error_code ResolveError;
  // The source's sidecars, which go with a copy to its destination.
  std::vector<std::string> Sidecars;
};

// Where an in-place working copy of a file of size bytes goes: the temporary folder
// when it has room for the file and its levels, else the file's own folder. Raises
// BuildError when neither has. A copy made away from the file's filesystem is copied
// beside it again before it replaces it, so that folder needs the room too.
std::string ChooseWorkingFolder(BuildContext& context, const std::string& source, const Target& target) {
  const auto size = static_cast<unsigned long long>(target.Stamp.Size);
  const unsigned long long needed = size + size / 3;
  const std::string folder = platform::FolderOf(target.ResolveError ? source : target.Resolved);
  std::error_code error;
  const unsigned long long freeHere = platform::FreeSpace(folder, error);
  const bool roomHere = error || freeHere >= needed;
  const unsigned long long freeTemp = platform::FreeSpace(context.TempFolder, error);
  if ((error || freeTemp >= needed) && roomHere) return context.TempFolder;
  if (roomHere) return folder;
  Refuse(ReasonCode::NoRoomForCopy,
         {SizeText(needed), Unslashed(context.TempFolder), SizeText(freeTemp), Unslashed(folder), SizeText(freeHere)});
}

// The file an in-place build changes (through any link), and whether it has other
// names. Checked before any copying or any tool: the result lands in the file's folder.
struct InPlaceTarget {
  std::string Path;
  std::string Folder;
  bool HardLinked = false;
};

InPlaceTarget CheckWritableInPlace(const std::string& source, const Target& row) {
  if (row.ResolveError) Refuse(ReasonCode::CannotRead, {source}, row.ResolveError);
  InPlaceTarget target;
  target.Path = row.Resolved;
  if (platform::CheckWritable(target.Path)) Refuse(ReasonCode::ReadOnly, {source});
  target.Folder = platform::FolderOf(target.Path);
  if (auto error = platform::CheckWritable(target.Folder)) {
    Refuse(ReasonCode::CannotWriteFolder, {Unslashed(target.Folder)}, error);
  }
  target.HardLinked = platform::CheckReplaceable(target.Path) == std::errc::too_many_links;
  return target;
}

// A working copy replaces the file by a rename, so the new file must be given the
// file's owner, group and extended attributes, which only the append way keeps as
// they are: tried on a scratch file in the file's folder before anything is copied.
// The refusal for the working-copy way, or none.
std::optional<BuildError> CheckAttributesKept(const std::string& source, const InPlaceTarget& target) {
  std::error_code error;
  const platform::TempFile probe = platform::TempFile::Create(target.Folder, StagePrefix, error);
  if (error) return BuildError(MakeReason(ReasonCode::CannotCreateTemp, {Unslashed(target.Folder)}, error));
  const platform::AttributeLoss loss = platform::TryAttributes(target.Path, probe.Path());
  if (!loss) return std::nullopt;
  if (loss.Owner) return BuildError(MakeReason(ReasonCode::OwnerNotKept, {source, loss.What}, loss.Error));
  if (!loss.What.empty()) return BuildError(MakeReason(ReasonCode::AttributeNotKept, {source, loss.What}, loss.Error));
  return BuildError(MakeReason(ReasonCode::CannotRead, {source}, loss.Error));
}

// A copy task: the source into the working file, which stays writable for the tool
// whatever the source's permissions.
std::function<Reason()> CopyTask(const std::string& source, const std::string& working, const std::string& shown) {
  return [source, working, shown]() -> Reason {
    const std::error_code failure = platform::CopyFile(source, working);
    return failure ? MakeReason(ReasonCode::CannotCopyTo, {shown}, failure) : Reason{};
  };
}

// The tool will work on a new file beside the destination, which replaces the
// destination only once the tool has succeeded: a failed or stopped run leaves
// whatever was there, and the source itself is never handed to the tool.
void PrepareDestinationBuild(BuildContext& context, ItemProc& slot, const FilePlan& plan,
                             const std::vector<std::string>& sidecars) {
  const std::string folder = platform::FolderOf(slot.Destination);
  slot.Origin = plan.Origin;
  ClearOrphans(context, folder, StagePrefix);
  std::error_code error;
  slot.WorkingCopy = platform::TempFile::Create(folder, StagePrefix, error);
  if (error) Refuse(ReasonCode::CannotCopyTo, {folder}, error);
  // The sidecars GDAL reads lie beside the copy while gdaladdo runs, and take what it
  // writes into them (the mask's levels) to the destination; the others are staged.
  const std::vector<ReadSidecar> read = SidecarsReadWithLevels(slot.Source);
  const std::vector<std::string> beside = CopyReadSidecars(read, slot.WorkingCopy.Path());
  std::vector<std::string> others = sidecars;
  std::erase_if(others, [&](const std::string& path) {
    return std::any_of(read.begin(), read.end(), [&](const ReadSidecar& r) { return r.Path == path; });
  });
  slot.Sidecars = StageSidecars(others, folder);
  for (std::size_t i = 0; i < read.size(); ++i) {
    slot.Sidecars.push_back({{}, folder + platform::FileNameOf(read[i].Path), beside[i], read[i].Path});
  }
  const std::string staleOverviews = ExternalOverviewsOf(slot.Destination);
  if (!staleOverviews.empty() && !platform::SameFile(staleOverviews, plan.Overviews)) {
    slot.StaleOverviews = staleOverviews;
  }
  slot.Preparation = context.Workers->Submit(CopyTask(slot.Source, slot.WorkingCopy.Path(), folder));
}

// The tool will work on a temporary copy that replaces the source once it has
// succeeded, if the source is still the version read here.
void PrepareInPlaceBuild(BuildContext& context, ItemProc& slot, const std::string& workingFolder,
                         const platform::FileStamp& stamp) {
  const bool inTempFolder = workingFolder == context.TempFolder;
  std::error_code error;
  slot.WorkingCopy = platform::TempFile::Create(workingFolder, inTempFolder ? TempPrefix : StagePrefix, error);
  if (error) Refuse(ReasonCode::CannotCreateTemp, {workingFolder}, error);
  slot.SourceStamp = stamp;
  const std::string& working = slot.WorkingCopy.Path();
  // GDAL's metadata lies beside the copy while gdaladdo runs, as beside the file in
  // place (a nodata value changes the levels); gdaladdo only reads it, so the copy is
  // discarded with the working copy and the file's own is never replaced. A mask file
  // keeps the file as it is (Review).
  CopyReadSidecars(SidecarsReadWithLevels(slot.Source), working);
  slot.Preparation = context.Workers->Submit([source = slot.Source, working, inTempFolder]() -> Reason {
    const std::error_code failure = platform::CopyFile(source, working);
    if (!failure) return {};
    return MakeReason(inTempFolder ? ReasonCode::CannotCopyToTemp : ReasonCode::CannotCopyTo, {working}, failure);
  });
}

// The tool will write the levels into the source's external overview file; what
// undoes a run that does not finish is made beside it first.
void PrepareExternalBuild(BuildContext& context, ItemProc& slot) {
  slot.External = true;
  slot.Preparation = context.Workers->Submit([work = &slot]() -> Reason {
    std::error_code error;
    work->ExternalBuild = ExternalLevelsBuild::Prepare(work->Source, error);
    return error ? MakeReason(ReasonCode::CannotMakeWorkFolder, {Unslashed(WorkFolderOf(work->Source))}, error)
                 : Reason{};
  });
}

// The tool will build the levels beside the file, to be appended to it; the journal
// that undoes a build cut short is written first.
void PrepareAppendBuild(BuildContext& context, ItemProc& slot, const BuildContext::Plan& review,
                        const FilePlan& plan, const platform::FileStamp& stamp) {
  slot.AppendTarget = review.Target;
  slot.SourceStamp = stamp;
  const Resampling method = context.Request.Options.Method;
  slot.Preparation = context.Workers->Submit(
      [work = &slot, decision = review.Decision, factors = plan.Factors, method]() -> Reason {
        try {
          work->Append = std::make_unique<AppendLinkBuild>(
              AppendLinkBuild::Begin(work->AppendTarget, decision, factors, method));
        } catch (const std::exception& e) {
          return AppendFailure(work->Source, e);
        }
        // The version the tool reads is this one: a second name made on Windows (a hard
        // link) changes the file's change time.
        std::error_code error;
        work->SourceStamp = platform::StampOf(work->AppendTarget, error);
        if (error) return MakeReason(ReasonCode::CannotRead, {work->Source}, error);
        return {};
      });
}

// The folder the file's external overview file goes to must take a new file.
void CheckExternalWritable(const std::string& source) {
  const std::string folder = platform::FolderOf(source);
  if (auto error = platform::CheckWritable(folder)) Refuse(ReasonCode::CannotWriteFolder, {Unslashed(folder)}, error);
}

// A later name of a file gets what the first name's row read and planned.
void TakeLevelsAndPlan(RowRecord& record, const RowRecord& first) {
  if (first.HasLevels) {
    record.HasLevels = true;
    record.LevelsBefore = first.LevelsBefore;
    record.LevelsAfter = first.LevelsAfter;
  }
  if (first.HasPlan) {
    record.HasPlan = true;
    record.Action = first.Action;
    record.Factors = first.Factors;
    record.WorkingFolder = first.WorkingFolder;
  }
}

// Takes the next row of the queue for the slot; false when it needs no more work here.
bool TakeNextRow(BuildContext& context, ItemProc& slot) {
  slot.ProcessHandle.Release();
  slot.Running = false;
  slot.Row = -1;
  if (context.NextRow >= context.Request.Rows.size()) {
    slot.Exhausted = true;
    return false;
  }
  const int row = static_cast<int>(context.NextRow++);
  if (context.Events.SkipRow(row)) return false;
  RowRecord& record = context.Records[static_cast<std::size_t>(row)];
  record.HasStarted = true;
  record.Started = Clock::now();
  context.Events.RowStarted(row);
  slot.Source = context.Request.Rows[static_cast<std::size_t>(row)].Source;
  slot.Row = row;
  return true;
}

// Another name of a file this build updates in place (a link, "./a.tif") waits for
// that row's outcome instead of running a second tool on the same file: true when the
// row is taken care of so. Copies into a destination folder are files of their own.
bool JoinsEarlierRow(BuildContext& context, int row, const std::string& source, const FileKey& key) {
  const auto [first, isNew] = context.FileRows.emplace(key, row);
  if (isNew) return false;
  // An inode freed and reused during the build is another file.
  if (!platform::SameFile(context.Request.Rows[static_cast<std::size_t>(first->second)].Source, source)) {
    first->second = row;
    return false;
  }
  const RowRecord& earlier = context.Records[static_cast<std::size_t>(first->second)];
  if (earlier.Settled) {
    // What the first name's row read and planned is this row's too: a dry run names it.
    TakeLevelsAndPlan(context.Records[static_cast<std::size_t>(row)], earlier);
    SettleRow(context, row, earlier.Result, earlier.Why);
  } else {
    context.SameFileRows[first->second].push_back(row);
  }
  return true;
}

// The way of an in-place build: a working copy, or its levels built beside the file and
// appended. Raises BuildError when the file cannot be built in place either way.
void ChooseInPlaceWay(BuildContext& context, const std::string& source, const FilePlan& plan, const Target& target,
                      BuildContext::Plan& review) {
  const InPlaceTarget inPlace = CheckWritableInPlace(source, target);
  // gdaladdo writes the mask's levels into the mask file: a working copy's would have
  // to replace it and the file together, which no rename does, and the append way
  // does not build them.
  if (const std::string mask = MaskFileOf(source); !mask.empty()) Refuse(ReasonCode::MaskFileInPlace, {source, mask});
  if (target.StampError) Refuse(ReasonCode::CannotRead, {source}, target.StampError);
  // A copy of a big file costs more than building its levels beside it and appending
  // them, which also keeps the file's inode (its other names) and needs room only for
  // the levels; GDAL options of the user's own would make other levels than in place,
  // but for a thread count.
  const BuildOptions& options = context.Request.Options;
  std::optional<BuildError> noRoom;
  try {
    review.WorkingFolder = ChooseWorkingFolder(context, source, target);
  } catch (const BuildError& refusal) {
    noRoom = refusal;
  }
  // The append decision, read from the file once, when it is first asked for; the plan
  // carries it to the build.
  std::optional<bool> proven;
  const auto provenAppendable = [&] {
    if (!proven) {
      const bool sameLevels = OnlyThreadOptions(options.Config);
      if (sameLevels) review.Decision = DecideAppendLink(inPlace.Path, options.Method);
      proven = sameLevels && review.Decision.Proven();
    }
    return *proven;
  };
  // A COG is written anew as a whole: only a working copy takes it.
  const bool mayAppend = !plan.AsCog;
  bool appendable = mayAppend && (inPlace.HardLinked || noRoom || target.Stamp.Size >= options.AppendLevelsFrom) &&
                    provenAppendable();
  // Only the working copy has to be given the file's attributes: tried when it is the way.
  std::optional<BuildError> notKept;
  if (!appendable && (notKept = CheckAttributesKept(source, inPlace))) appendable = mayAppend && provenAppendable();
  // The levels are built through a second name of the file in a hidden folder beside
  // it, which not every filesystem can give.
  if (appendable) appendable = WorkFolderPossible(inPlace.Path);
  if (appendable) {
    review.Action = FileAction::Append;
    review.Target = inPlace.Path;
    review.WorkingFolder = inPlace.Folder;
    return;
  }
  // A rename would give this name the new file and leave the other names the old one.
  if (inPlace.HardLinked) Refuse(ReasonCode::HardLinks, {source});
  if (notKept) throw *notKept;
  if (noRoom) throw *noRoom;
}

// Everything checked that can be checked before a file is written: the plan, what the
// job will do and where its working copy goes. Raises BuildError.
BuildContext::Plan Review(BuildContext& context, const std::string& source, const FilePlan& plan,
                          const Target& target) {
  BuildContext::Plan review;
  review.Factors = plan.Factors;
  switch (plan.Do) {
    case FilePlan::Action::UpToDate:
      review.Action = FileAction::Check;
      return review;
    case FilePlan::Action::CopyToDestination:
      review.Action = FileAction::Copy;
      review.WorkingFolder = platform::FolderOf(target.Destination);
      return review;
    case FilePlan::Action::BuildExternal:
      review.Action = FileAction::External;
      CheckExternalWritable(source);
      review.WorkingFolder = platform::FolderOf(source);
      return review;
    case FilePlan::Action::Build:
      review.Action = FileAction::Build;
      break;
  }
  if (!target.InPlace) {
    review.WorkingFolder = platform::FolderOf(target.Destination);
    return review;
  }
  ChooseInPlaceWay(context, source, plan, target, review);
  return review;
}

// Hands the copy of a file that needs no levels to the file workers, with its claim.
void SubmitCopy(BuildContext& context, ItemProc& slot, const FilePlan& plan, const Target& target,
                platform::FileClaim claim) {
  std::vector<std::string> sidecars = target.Sidecars;
  for (std::string& levels : ExternalLevelFilesOf(slot.Source)) sidecars.push_back(std::move(levels));
  ReserveDestination(context, target.Destination);
  auto pending = std::make_unique<PendingSettle>();
  pending->Row = slot.Row;
  pending->CancelOnStop = true;
  pending->Work.Claim = std::move(claim);
  pending->Task = context.Workers->Submit(
      [source = slot.Source, destination = target.Destination, sidecars, origin = plan.Origin] {
        return CopyToDestination(source, destination, sidecars, origin);
      });
  context.Pending.push_back(std::move(pending));
  slot.Row = -1;
}

// Starts making what the tool will work on, the way review chose; the slot then holds
// the row.
void PrepareBuild(BuildContext& context, ItemProc& slot, const BuildContext::Plan& review, const FilePlan& plan,
                  const Target& target) {
  if (!target.Destination.empty()) ReserveDestination(context, target.Destination);
  if (plan.AsCog) {
    slot.AsCog = true;
    slot.CogOptions = CogCreationOptions(slot.Source);
  }
  if (review.Action == FileAction::External) {
    PrepareExternalBuild(context, slot);
  } else if (review.Action == FileAction::Append) {
    PrepareAppendBuild(context, slot, review, plan, target.Stamp);
  } else if (target.InPlace) {
    PrepareInPlaceBuild(context, slot, review.WorkingFolder, target.Stamp);
  } else {
    slot.Destination = target.Destination;
    PrepareDestinationBuild(context, slot, plan, target.Sidecars);
  }
  const std::optional<Reason> unsuited = UnsuitedLevelCompression(context.Request.Options, plan.Inventory.Samples);
  slot.OwnCompression = unsuited.has_value();
  if (unsuited) context.RowNotes[slot.Row] = *unsuited;
  slot.Factors = plan.Factors;
  slot.Levels = plan.LevelsWanted;
  slot.WorkingPath = slot.WorkingCopy.Path();
}

// Settles the row, hands its copy to the file workers, or starts making the working
// copy the tool will work on (the slot then holds the row). Raises BuildError.
void FollowPlan(BuildContext& context, ItemProc& slot, const FilePlan& plan, const Target& target,
                platform::FileClaim claim) {
  const int row = slot.Row;
  const BuildContext::Plan review = Review(context, slot.Source, plan, target);
  RowRecord& record = context.Records[static_cast<std::size_t>(row)];
  record.HasPlan = true;
  record.Action = review.Action;
  record.Factors = review.Factors;
  record.WorkingFolder = review.WorkingFolder;
  if (review.Action == FileAction::Check) {
    record.HasLevels = true;
    record.LevelsAfter = plan.LevelsAfter;
    SettleRow(context, row, Outcome::UpToDate,
              target.InPlace ? MakeReason(ReasonCode::EnoughLevels)
                             : MakeReason(ReasonCode::CopyCurrent, {target.Destination}));
    slot.Row = -1;
    return;
  }
  if (context.Request.Options.DryRun) {
    // The check of the work folder may have left it until the file is let go.
    claim.Release();
    if (review.Action == FileAction::Append) RemoveEmptyWorkFolder(review.Target);
    SettleRow(context, row, Outcome::Done);
    slot.Row = -1;
    return;
  }
  if (review.Action == FileAction::Copy) {
    SubmitCopy(context, slot, plan, target, std::move(claim));
    return;
  }
  PrepareBuild(context, slot, review, plan, target);
  record.HasLevels = true;
  record.LevelsAfter = plan.LevelsAfter;
  slot.Claim = std::move(claim);
}

// The threads for the slot's tool about to start, with the threads the running tools
// hold and the files still to come.
int ThreadsFor(const BuildContext& context, const ItemProc& starting) {
  CoreUse use;
  use.Cores = context.Request.Cores;
  use.Slots = static_cast<int>(context.Slots.size());
  use.Waiting = static_cast<int>(context.Request.Rows.size() - context.NextRow);
  for (const ItemProc& slot : context.Slots) {
    if (&slot == &starting) continue;
    if (slot.Running) {
      use.RunningThreads += slot.Threads;
    } else if (slot.Row != -1) {
      ++use.Waiting;  // its working copy or journal is being made
    }
  }
  return ToolThreads(use);
}

}  // namespace

std::string Unslashed(const std::string& folder) {
  return folder.size() > 1 && platform::IsSeparator(folder.back()) ? folder.substr(0, folder.size() - 1) : folder;
}

Reason AppendFailure(const std::string& source, const std::exception& error) {
  if (const auto* build = dynamic_cast<const BuildError*>(&error)) {
    // The build names the file it appends to (a link's target); the row, the file as
    // the row gave it.
    Reason why = build->Why();
    if (why.Code == ReasonCode::CannotAppend) why.Args = {source};
    return why;
  }
  if (const auto* file = dynamic_cast<const FileError*>(&error)) {
    return MakeReason(ReasonCode::CannotAppendFile, {source, file->Path()}, file->Error());
  }
  return MakeReason(ReasonCode::CannotAppend, {source});
}

Reason ReasonOf(const std::exception& error) {
  if (const auto* build = dynamic_cast<const BuildError*>(&error)) return build->Why();
  if (const auto* open = dynamic_cast<const EFOpenError*>(&error)) {
    return MakeReason(ReasonCode::CannotOpen, {platform::FullPath(open->Path())}, open->Error());
  }
  return MakeReason(ReasonCode::Unexpected, {error.what()});
}

void PlaceSidecars(std::vector<StagedSidecar>& sidecars) {
  for (StagedSidecar& sidecar : sidecars) {
    std::error_code error;
    if (sidecar.Beside.empty()) {
      error = MoveIntoPlace(sidecar.Staged, sidecar.Target);
    } else if (!(error = platform::CopyPermissions(sidecar.Source, sidecar.Beside))) {
      error = platform::Replace(sidecar.Beside, sidecar.Target);
    }
    if (error) Refuse(ReasonCode::CannotReplace, {sidecar.Target}, error);
  }
  sidecars.clear();
}

void SettleRowNow(BuildContext& context, int row, Outcome result, const Reason& why) {
  RowReport report;
  report.Row = row;
  report.Result = result;
  report.Why = why;
  RowRecord& record = context.Records[static_cast<std::size_t>(row)];
  if (record.HasLevels) {
    report.LevelsBefore = record.LevelsBefore;
    const bool reached = result == Outcome::Done || result == Outcome::UpToDate;
    report.LevelsAfter = reached ? record.LevelsAfter : record.LevelsBefore;
  }
  if (const auto note = context.RowNotes.find(row); note != context.RowNotes.end()) {
    if (result == Outcome::Done) report.Note = note->second;
    context.RowNotes.erase(note);
  }
  if (record.HasStarted) {
    report.Seconds = std::chrono::duration<double>(Clock::now() - record.Started).count();
  }
  if (record.HasPlan) {
    report.Action = record.Action;
    report.Factors = record.Factors;
    report.WorkingFolder = record.WorkingFolder;
  }
  BuildSummary& summary = context.Summary;
  switch (result) {
    case Outcome::Done: ++summary.Done; break;
    case Outcome::UpToDate: ++summary.UpToDate; break;
    case Outcome::Kept: ++summary.Kept; break;
    case Outcome::Failed: ++summary.Failed; break;
    case Outcome::NotFound: ++summary.NotFound; break;
    case Outcome::Busy: ++summary.Busy; break;
    case Outcome::Stopped: ++summary.Stopped; break;
  }
  record.Settled = true;
  record.Result = result;
  record.Why = why;
  context.Events.RowSettled(report);
  const auto same = context.SameFileRows.find(row);
  if (same == context.SameFileRows.end()) return;
  const std::vector<int> rows = std::move(same->second);
  context.SameFileRows.erase(same);
  for (const int other : rows) {
    TakeLevelsAndPlan(context.Records[static_cast<std::size_t>(other)], record);
    SettleRowNow(context, other, result, why);
  }
}

void SettleRow(BuildContext& context, int row, Outcome result, const Reason& why) {
  if (context.Pending.empty()) {
    SettleRowNow(context, row, result, why);
    return;
  }
  // Rows settle in the order their turn came: this one waits behind the file work of
  // the rows before it.
  auto decided = std::make_unique<PendingSettle>();
  decided->Row = row;
  decided->Decided = true;
  decided->Result = result;
  decided->Why = why;
  context.Pending.push_back(std::move(decided));
}

void DiscardWork(ItemProc& slot) {
  // The file whose work folder may outlive its build until the file is let go.
  const std::string workFolderOf = !slot.AppendTarget.empty() ? slot.AppendTarget : slot.External ? slot.Source : "";
  // What lies beside the copy: external levels of a copy gdaladdo could not write, the
  // sidecars it read.
  if (!slot.WorkingPath.empty()) {
    for (const char* suffix : {".ovr", ".aux.xml", ".msk"}) platform::DeleteFile(slot.WorkingPath + suffix);
  }
  slot.WorkingPath.clear();
  slot.WorkingCopy.Remove();
  slot.Preparation.reset();
  slot.ErrorOutput.reset();
  if (slot.CogCopy.Valid()) RemoveBesideCogCopy(slot.CogCopy.Path());
  slot.CogCopy.Remove();
  slot.AsCog = false;
  slot.CogOptions.clear();
  slot.Factors.clear();
  slot.Sidecars.clear();
  slot.StaleOverviews.clear();
  slot.Origin = {};
  slot.ToolOutput.reset();
  slot.ReportedPercent = -1;
  slot.Levels = 0;
  slot.Destination.clear();
  // An append build not finished is undone, its tool having ended.
  slot.Append.reset();
  slot.AppendRun = 0;
  slot.AppendTarget.clear();
  // An external run that did not finish is undone before its file is let go.
  slot.ExternalBuild.Undo();
  slot.External = false;
  slot.Claim.Release();
  if (!workFolderOf.empty()) RemoveEmptyWorkFolder(workFolderOf);
}

void RemoveBesideCogCopy(const std::string& path) {
  // gdal_translate may leave its own metadata and, for levels it had to make, their
  // scratch files beside what it writes.
  for (const char* suffix : {".aux.xml", ".ovr.tmp", ".msk.ovr.tmp"}) platform::DeleteFile(path + suffix);
}

bool BeginCogLayout(BuildContext& context, ItemProc& slot) {
  const std::string folder = platform::FolderOf(slot.WorkingCopy.Path());
  std::error_code error;
  slot.CogCopy = platform::TempFile::Create(folder, folder == context.TempFolder ? TempPrefix : StagePrefix, error);
  if (error) {
    const int row = slot.Row;
    DiscardWork(slot);
    slot.Row = -1;
    SettleRow(context, row, Outcome::Failed, MakeReason(ReasonCode::CannotCreateTemp, {Unslashed(folder)}, error));
    return false;
  }
  return LaunchTool(context, slot);
}

namespace {

// Settles the slot's row before its file is worked on, and leaves the slot idle.
void SettleAtStart(BuildContext& context, ItemProc& slot, Outcome result, const Reason& why) {
  SettleRow(context, slot.Row, result, why);
  slot.Row = -1;
}

// The row's file and where its result goes, found before the file is claimed; none when
// the row is taken care of already: unreadable, not found, or another name of a file
// that an earlier row builds in place.
std::optional<Target> LocateRow(BuildContext& context, ItemProc& slot) {
  const std::string& source = slot.Source;
  const BuildRow& request = context.Request.Rows[static_cast<std::size_t>(slot.Row)];
  if (request.Unreadable) {
    SettleAtStart(context, slot, Outcome::Failed, MakeReason(ReasonCode::CannotRead, {source}, request.Unreadable));
    return std::nullopt;
  }
  if (!platform::FileExists(source)) {
    SettleAtStart(context, slot, Outcome::NotFound, MakeReason(ReasonCode::NotFound));
    return std::nullopt;
  }
  Target target;
  target.Stamp = platform::StampOf(source, target.StampError);
  const std::string& folder = request.DestinationFolder;
  if (!folder.empty()) target.Destination = platform::JoinPath(folder, platform::FileNameOf(source));
  target.InPlace = target.Destination.empty() || platform::SameFile(source, target.Destination);
  const FileKey key{target.Stamp.Device, target.Stamp.Inode};
  if (!target.StampError && target.InPlace && JoinsEarlierRow(context, slot.Row, source, key)) {
    slot.Row = -1;
    return std::nullopt;
  }
  target.Resolved = platform::ResolvedPath(source, target.ResolveError);
  return target;
}

// A build of the file that died first puts it back as it was, or finishes; false, with
// the row settled, when it could do neither.
bool RecoverDiedBuild(BuildContext& context, ItemProc& slot, const std::string& resolved,
                      const platform::FileClaim& claim) {
  const Recovery recovery = claim.Held() ? RecoverClaimedAppendLink(resolved) : RecoverAppendLink(resolved);
  if (recovery.Outcome != RecoveryOutcome::LeftAlone && recovery.Outcome != RecoveryOutcome::Failed) return true;
  const bool kept = recovery.Outcome == RecoveryOutcome::LeftAlone;
  SettleAtStart(context, slot, kept ? Outcome::Kept : Outcome::Failed,
                kept ? MakeReason(ReasonCode::UnfinishedLeftAlone, {slot.Source, recovery.KeptJournal})
                     : MakeReason(ReasonCode::CannotUndo, {slot.Source}, recovery.Error));
  return false;
}

// Settles the builds that died in the file's folder and of the file itself, and claims
// it; false, with the row settled, when another process builds it or its died build
// stays. Recovery may change the file: the target then holds its version after.
bool ClaimFile(BuildContext& context, ItemProc& slot, Target& target, platform::FileClaim& claim) {
  // Builds of this folder that died are settled before this file is claimed: one of
  // them may have worked on it under another name. A destination folder's too, even
  // when its copy turns out current.
  bool recovered = false;
  if (!target.ResolveError && target.InPlace) {
    recovered = ClearOrphans(context, platform::FolderOf(target.Resolved), StagePrefix);
  }
  if (!target.InPlace) ClearOrphans(context, platform::FolderOf(target.Destination), StagePrefix);
  // Another process, here or on another host, building the same file keeps it. A file
  // this process may not write is not claimed: in place it fails as read-only anyway,
  // and a copy into a destination folder lands there whole.
  // A file claimed by this build already (a second name copied into a destination
  // folder) is only read again: the first claim keeps other processes away.
  std::error_code claimError;
  const FileKey key{target.Stamp.Device, target.Stamp.Inode};
  const bool claimedHere = !target.StampError && !context.ClaimedFiles.insert(key).second;
  if (!claimedHere) claim = platform::FileClaim::Take(slot.Source, claimError);
  if (claimError == std::errc::device_or_resource_busy) {
    SettleAtStart(context, slot, Outcome::Busy, MakeReason(ReasonCode::Busy));
    return false;
  }
  if (!target.ResolveError && platform::FileExists(JournalOf(target.Resolved))) {
    if (!RecoverDiedBuild(context, slot, target.Resolved, claim)) return false;
    recovered = true;
  }
  if (recovered) target.Stamp = platform::StampOf(slot.Source, target.StampError);
  return true;
}

// The names in the source's folder, read once per folder and build.
const FolderNames& NamesBeside(BuildContext& context, const std::string& source) {
  const std::string sourceFolder = platform::FolderOf(source);
  auto names = context.SourceFolderNames.find(sourceFolder);
  if (names == context.SourceFolderNames.end()) {
    names = context.SourceFolderNames.emplace(sourceFolder, NamesIn(sourceFolder)).first;
  }
  return names->second;
}

// Reads and plans the claimed file and follows the plan; a file that cannot be built
// settles its row.
void PlanRow(BuildContext& context, ItemProc& slot, Target& target, platform::FileClaim claim) {
  const int row = slot.Row;
  const std::string& source = slot.Source;
  try {
    if (!target.InPlace) {
      const FolderNames& names = NamesBeside(context, source);
      target.Sidecars = SidecarsOf(source, names);
    }
    // The source itself (its own folder, or a link to it) is processed in place, so
    // that the result lands in the file and not over a link to it.
    const FilePlan plan = PlanFile(*context.Reader, source, target.InPlace ? std::string() : target.Destination,
                                   target.Sidecars, claim, context.Request.Options);
    RowRecord& record = context.Records[static_cast<std::size_t>(row)];
    record.HasLevels = true;
    record.LevelsBefore = record.LevelsAfter = plan.LevelsBefore;
    FollowPlan(context, slot, plan, target, std::move(claim));
  } catch (const std::exception& e) {
    context.Reader->Close();
    DiscardWork(slot);
    const Reason why = ReasonOf(e);
    SettleRow(context, row, KeepsFile(why.Code) ? Outcome::Kept : Outcome::Failed, why);
    slot.Row = -1;
  }
}

}  // namespace

void StartJob(BuildContext& context, ItemProc& slot) {
  if (!TakeNextRow(context, slot)) return;
  std::optional<Target> target = LocateRow(context, slot);
  if (!target) return;
  platform::FileClaim claim;
  if (!ClaimFile(context, slot, *target, claim)) return;
  PlanRow(context, slot, *target, std::move(claim));
}

bool LaunchTool(BuildContext& context, ItemProc& slot) {
  try {
    // The first run waits for its copy or journal; an append build's later runs for
    // nothing.
    const std::shared_ptr<FileWork> preparation = std::move(slot.Preparation);
    if (preparation && !preparation->Failure().Empty()) throw BuildError(preparation->Failure());
    std::error_code error;
    slot.ErrorOutput = platform::MemoryFile::Create("gdaladdo-errors", error);
    if (error) Refuse(ReasonCode::CannotKeepOutput, {}, error);
    slot.ToolOutput = platform::MemoryFile::Create("gdaladdo-output", error);
    if (error) Refuse(ReasonCode::CannotKeepOutput, {}, error);
    std::string toolPath = context.Request.ToolPath;
    const BuildOptions options =
        slot.OwnCompression ? WithoutLevelCompression(context.Request.Options) : context.Request.Options;
    std::vector<std::string> arguments;
    if (slot.CogCopy.Valid()) {
      toolPath = FindTranslateTool(toolPath);
      arguments = CogTranslateArguments(slot.WorkingCopy.Path(), slot.CogCopy.Path(), slot.CogOptions, options);
    } else if (slot.Append) {
      arguments = slot.Append->ToolRuns().at(slot.AppendRun);
      // Its runs name their own options; the user's thread count goes with them.
      const std::vector<std::string> chosen = ChosenThreadArguments(context.Request.Options.Config);
      arguments.insert(arguments.end(), chosen.begin(), chosen.end());
    } else {
      arguments = ToolArguments(slot.External ? slot.ExternalBuild.ToolTarget() : slot.WorkingCopy.Path(),
                                slot.Factors, options);
      if (slot.External) arguments.insert(arguments.begin(), "-ro");
    }
    // After the rest, as GDAL takes its options anywhere: the command line is otherwise
    // the same with threads as without.
    slot.Threads = context.ThreadsChosen ? 1 : ThreadsFor(context, slot);
    const std::vector<std::string> threads = ThreadArguments(slot.Threads);
    arguments.insert(arguments.end(), threads.begin(), threads.end());
    slot.ProcessHandle =
        platform::Process::Start(toolPath, arguments, slot.ErrorOutput->Fd(), slot.ToolOutput->Fd(), error);
    if (error) Refuse(ReasonCode::CannotStart, {toolPath}, error);
    slot.Running = true;
    return true;
  } catch (const std::exception& e) {
    const int row = slot.Row;
    DiscardWork(slot);
    slot.Row = -1;
    SettleRow(context, row, Outcome::Failed, ReasonOf(e));
    return false;
  }
}

}  // namespace kelvory
