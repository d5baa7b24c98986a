#include "pyramids/Job.h"

#include <filesystem>

#include "pyramids/BuildMessages.h"
#include "pyramids/LevelInventory.h"
#include "pyramids/LevelRule.h"
#include "pyramids/Sidecars.h"
#include "pyramids/ToolCommand.h"
#include "pyramids/WorkingCopy.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"
#include "platform/ReplaceFile.h"
#include "tiff/TIFFConst.h"

namespace kelvory {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::error_code& error) {
  throw Exception(what + ": " + error.message());
}

// Where the row's file is copied to when there is a destination folder.
std::string DestinationOf(const BuildHost& host, std::int32_t index, const std::string& source) {
  return platform::JoinPath(host.RowDestinationFolder(index), platform::FileNameOf(source));
}

// Reserves the row's destination; a second row with the same destination is refused
// rather than overwriting the first one's copy.
const std::string& ReserveDestination(BuildHost& host, BuildContext& context, std::int32_t index,
                                      const std::string& destination) {
  const std::string folder = host.RowDestinationFolder(index);
  if (!context.Destinations.insert(destination).second) {
    throw Exception("another file of this build is already copied to " + destination);
  }
  if (folder != host.DestFolder()) {
    std::error_code error;
    std::filesystem::create_directories(platform::FsPath(folder), error);
    if (error) Fail("cannot create the folder " + folder, error);
  }
  return destination;
}

// Stages a copy of each sidecar of source in folder, to be put in place with the file.
std::vector<StagedSidecar> StageSidecars(const std::vector<std::string>& sidecars, const std::string& folder) {
  std::vector<StagedSidecar> staged;
  for (const std::string& sidecar : sidecars) {
    StagedSidecar copy{{}, folder + platform::FileNameOf(sidecar)};
    if (auto error = StageCopy(sidecar, folder, copy.Staged)) Fail("cannot copy " + sidecar + " to " + folder, error);
    staged.push_back(std::move(copy));
  }
  return staged;
}

// The copy of a file that needs no levels, with its sidecars: all are copied aside
// first, so that a failed copy leaves no half set; replaced as a whole, and never
// onto itself. Runs beside the tools.
std::string CopyToDestination(const std::string& source, const std::string& destination,
                              const std::vector<std::string>& sidecars) {
  if (platform::SameFile(source, destination)) return {};
  const std::string folder = platform::FolderOf(destination);
  std::vector<StagedSidecar> staged = StageSidecars(sidecars, folder);
  platform::TempFile file;
  if (auto error = StageCopy(source, folder, file)) Fail("cannot copy to " + destination, error);
  if (auto error = MoveIntoPlace(file, destination)) Fail("cannot replace " + destination, error);
  PlaceSidecars(staged);
  return {};
}

// Removes, once per build and folder, the working copies of runs that died.
void ClearOrphans(BuildContext& context, const std::string& folder, const char* prefix) {
  if (context.ClearedFolders.insert(folder + '\0' + prefix).second) platform::RemoveOrphans(folder, prefix);
}

// Loads the source into bitmap: through the claim's own descriptor while it holds the
// file, since over NFS a second open's lock would meet the claim's.
void LoadSource(TTIFFBitmap& bitmap, const std::string& source, const platform::FileClaim& claim,
                std::unique_ptr<platform::Stream>& contents) {
  if (!claim.Held()) {
    bitmap.LoadFromFile(source);
    return;
  }
  std::error_code error;
  contents = claim.Contents(error);
  if (error) throw EFOpenError(source, error);
  bitmap.LoadFromStream(*contents);
}

// The levels the file holds: the reader's classic rules may refuse a file the widened
// ones read, and the user is told where to switch them on.
LevelInventory ReadInventory(BuildContext& context, const std::string& source, const platform::FileClaim& claim) {
  TTIFFBitmap& reader = *context.Reader;
  std::unique_ptr<platform::Stream> contents;
  try {
    LoadSource(reader, source, claim, contents);
    LevelInventory inventory = ReadLevelInventory(reader);
    reader.Close();
    return inventory;
  } catch (const Exception& refusal) {
    reader.Close();
    const std::string why = refusal.what();
    if (reader.Mode() != ReadingMode::Classic || context.Options.WidenedReadingHint.empty() ||
        (why != SUnsupportedFileType && why != SUnsupportedImageFormat))
      throw;
    try {
      std::unique_ptr<platform::Stream> widenedContents;
      TTIFFBitmap widened(ReadingMode::Widened);
      LoadSource(widened, source, claim, widenedContents);
      ReadLevelInventory(widened);
    } catch (const std::exception&) {
      throw refusal;
    }
    throw Exception(why + " " + context.Options.WidenedReadingHint);
  }
}

// The levels of an external overview file added to those of the file; unreadable
// overviews add none.
LevelInventory WithExternalLevels(BuildContext& context, LevelInventory inventory, const std::string& overviews) {
  try {
    context.Reader->LoadFromFile(overviews);
    AddExternalLevels(inventory, *context.Reader);
  } catch (const std::exception&) {
  }
  context.Reader->Close();
  return inventory;
}

// An in-place result replaces the source by a rename in the source's folder (through
// any link): find out now, before any copying or any tool, whether that can work.
// Returns that folder.
std::string CheckReplaceable(const std::string& source) {
  std::error_code error;
  const std::string target = platform::ResolvedPath(source, error);
  if (error) Fail("cannot read " + source, error);
  if (platform::CheckWritable(target)) throw Exception(source + " is read-only");
  const std::string folder = platform::FolderOf(target);
  if ((error = platform::CheckWritable(folder))) {
    Fail("cannot write to the folder " + (folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder), error);
  }
  // A rename would give this name the new file and leave the other names the old one.
  if (platform::CheckReplaceable(target) == std::errc::too_many_links) {
    throw Exception(source + " has other hard links, which replacing it would split from it:"
                    " build it into a destination folder instead");
  }
  return folder;
}

}  // namespace

void PlaceSidecars(std::vector<StagedSidecar>& sidecars) {
  for (StagedSidecar& sidecar : sidecars) {
    if (auto error = MoveIntoPlace(sidecar.Staged, sidecar.Target)) {
      throw Exception("cannot replace " + sidecar.Target + ": " + error.message());
    }
  }
  sidecars.clear();
}

void SettleRowNow(BuildHost& host, BuildContext& context, std::int32_t index, StatusImage status,
                  const std::string& reason) {
  const bool busy = status == StatusFailed && reason == kBusyReason;
  if (busy) host.RowBusy(index);
  const auto levels = context.RowLevels.find(index);
  if (levels != context.RowLevels.end()) {
    host.RowLevels(index, levels->second.first, status == StatusDone ? levels->second.second : levels->second.first);
  }
  FinishItem(host, index, status, reason);
  BuildSummary& summary = context.Summary;
  if (status == StatusDone) ++summary.Done;
  if (status == StatusNotFound) ++summary.NotFound;
  if (status == StatusFailed) ++(busy ? summary.Busy : reason == kStoppedReason ? summary.Stopped : summary.Failed);
  context.Outcomes[index] = {status, reason};
  const auto same = context.SameFileRows.find(index);
  if (same == context.SameFileRows.end()) return;
  const std::vector<std::int32_t> rows = std::move(same->second);
  context.SameFileRows.erase(same);
  for (const std::int32_t row : rows) {
    if (levels != context.RowLevels.end()) context.RowLevels[row] = levels->second;
    SettleRowNow(host, context, row, status, reason);
  }
}

void SettleRow(BuildHost& host, BuildContext& context, std::int32_t index, StatusImage status,
               const std::string& reason) {
  if (context.Pending.empty()) {
    SettleRowNow(host, context, index, status, reason);
    return;
  }
  // Rows settle in the order their turn came: this one waits behind the file work of
  // the rows before it.
  auto decided = std::make_unique<PendingSettle>();
  decided->Index = index;
  decided->Decided = true;
  decided->Status = status;
  decided->Reason = reason;
  context.Pending.push_back(std::move(decided));
}

void FinishItem(BuildHost& host, std::int32_t index, StatusImage status, const std::string& reason) {
  host.SetRowStatus(index, status);
  host.SetRowChecked(index, false);
  host.SetSelectedCount(host.SelectedCount() - 1);
  host.SetSelectionPanelText("Выбрано: " + std::to_string(host.SelectedCount()));
  host.RowSettled(index, status, reason);
}

void DiscardWork(ItemProc& slot) {
  // What gdaladdo may have made beside the copy: external levels of a copy it could
  // not write, its metadata.
  if (!slot.WorkingPath.empty()) {
    for (const char* suffix : {".ovr", ".aux.xml"}) platform::DeleteFile(slot.WorkingPath + suffix);
  }
  slot.WorkingPath.clear();
  slot.WorkingCopy.Remove();
  slot.Preparation.reset();
  slot.ErrorOutput.reset();
  slot.Factors.clear();
  slot.Sidecars.clear();
  slot.StaleOverviews.clear();
  slot.ToolOutput.reset();
  slot.ReportedPercent = -1;
  slot.Levels = 0;
  slot.TempPath.clear();
  slot.Destination.clear();
  slot.CommandLine.clear();
  slot.Claim.Release();
}

std::int32_t StartJob(BuildHost& host, BuildContext& context, std::int32_t cursor, ItemProc& slot) {
  const std::int32_t rows = host.RowCount();
  slot.ProcessHandle.Release();
  if (cursor < 0 || static_cast<std::size_t>(cursor) >= context.CheckedIndexes.size()) return rows;
  const std::int32_t index = context.CheckedIndexes[static_cast<std::size_t>(cursor)];
  if (index >= rows) return rows;
  if (!host.RowChecked(index)) return -1;
  host.SetRowStatus(index, StatusInProgress);
  context.Startup.Title = std::to_string(index);
  const std::string source = host.RowCaption(index);
  if (!platform::FileExists(source)) {
    SettleRow(host, context, index, StatusNotFound);
    return -1;
  }
  // Another name of a file this build updates in place (a link, "./a.tif") waits for
  // that row's outcome instead of running a second tool on the same file. Copies into a
  // destination folder are files of their own, one per name.
  std::error_code stampError;
  const platform::FileStamp stamp = platform::StampOf(source, stampError);
  const std::string destination = host.HasDestFolder() ? DestinationOf(host, index, source) : std::string();
  const bool inPlace = destination.empty() || platform::SameFile(source, destination);
  if (!stampError && inPlace) {
    const auto [first, isNew] = context.FileRows.emplace(std::make_pair(stamp.Device, stamp.Inode), index);
    // An inode freed and reused during the build is another file.
    if (!isNew && !platform::SameFile(host.RowCaption(first->second), source)) {
      first->second = index;
    } else if (!isNew) {
      const auto outcome = context.Outcomes.find(first->second);
      if (outcome != context.Outcomes.end()) {
        SettleRow(host, context, index, outcome->second.first, outcome->second.second);
      } else {
        context.SameFileRows[first->second].push_back(index);
      }
      return -1;
    }
  }

  // Another process, here or on another host, building the same file keeps it. A file
  // this process may not write is not claimed: in place it fails as read-only anyway,
  // and a copy into a destination folder lands there whole.
  // A file claimed by this build already (a second name copied into a destination
  // folder) is only read again: the first claim keeps other processes away.
  std::error_code claimError;
  platform::FileClaim claim;
  const bool claimedHere = !stampError && !context.ClaimedFiles.emplace(stamp.Device, stamp.Inode).second;
  if (!claimedHere) claim = platform::FileClaim::Take(source, claimError);
  if (claimError == std::errc::device_or_resource_busy) {
    SettleRow(host, context, index, StatusFailed, kBusyReason);
    return -1;
  }

  try {
    const LevelInventory inventory = ReadInventory(context, source, claim);
    const std::int32_t levels = LevelCount(inventory.Width, inventory.Height);
    const std::string overviews = ExternalOverviewsOf(source);
    const LevelInventory withOverviews =
        overviews.empty() ? inventory : WithExternalLevels(context, inventory, overviews);
    const int levelsBefore = withOverviews.Levels - 1;
    context.RowLevels[index] = {levelsBefore, levelsBefore};
    host.ProcessMessages();

    if (HasEnoughLevels(withOverviews, levels)) {
      slot.TempPath.clear();
      if (!host.HasDestFolder()) {
        SettleRow(host, context, index, StatusDone);
        return -1;
      }
      std::vector<std::string> sidecars = SidecarsOf(source);
      if (!overviews.empty()) sidecars.push_back(overviews);
      ReserveDestination(host, context, index, destination);
      auto pending = std::make_unique<PendingSettle>();
      pending->Index = index;
      pending->CancelOnStop = true;
      pending->Work.Claim = std::move(claim);
      pending->Task = context.Workers->Submit(
          [source, destination, sidecars] { return CopyToDestination(source, destination, sidecars); });
      context.Pending.push_back(std::move(pending));
      return -1;
    }
    if (levels > MaxLevels) {
      throw Exception("an image of " + std::to_string(inventory.Width) + " x " + std::to_string(inventory.Height) +
                      " would need " + std::to_string(levels) + " levels, more than " +
                      std::to_string(MaxLevels));
    }

    std::error_code error;
    if (host.HasDestFolder()) {
      slot.Destination = ReserveDestination(host, context, index, destination);
      // The source itself (its own folder, or a link to it) is processed in place,
      // so that the result lands in the file and not over a link to it.
      if (inPlace) slot.Destination.clear();
    }
    if (slot.Destination.empty()) {
      // New levels inside the file would hide those of its overview file from GDAL,
      // and in a COG they would break the layout that makes it one.
      if (!overviews.empty()) {
        throw Exception(source + " keeps its overviews in " + overviews +
                        ", which new levels inside the file would hide: add the missing levels there with"
                        " gdaladdo -ro, or remove it to have them built inside the file");
      }
      if (inventory.CogLayout) {
        throw Exception(source + " is a Cloud Optimized GeoTIFF, whose layout adding levels in place would break:"
                        " rebuild it with gdal_translate -of COG, or build into a destination folder");
      }
    }
    std::function<std::string()> copy;
    if (!slot.Destination.empty()) {
      const std::string folder = platform::FolderOf(slot.Destination);
      slot.Sidecars = StageSidecars(SidecarsOf(source), folder);
      const std::string staleOverviews = ExternalOverviewsOf(slot.Destination);
      if (!staleOverviews.empty() && !platform::SameFile(staleOverviews, overviews)) slot.StaleOverviews = staleOverviews;
      // The tool works on a new file beside the destination, which replaces the
      // destination only once the tool has succeeded: a failed or stopped run leaves
      // whatever was there, and the source itself is never handed to the tool.
      ClearOrphans(context, folder, StagePrefix);
      slot.WorkingCopy = platform::TempFile::Create(folder, StagePrefix, error);
      if (error) Fail("cannot copy to " + folder, error);
      slot.TempPath.clear();
      // The copy stays writable for the tool, whatever the source's permissions.
      copy = [source, working = slot.WorkingCopy.Path(), folder]() -> std::string {
        const std::error_code failure = platform::CopyFile(source, working);
        return failure ? "cannot copy to " + folder + ": " + failure.message() : std::string();
      };
    } else {
      ClearOrphans(context, CheckReplaceable(source), StagePrefix);
      slot.WorkingCopy = platform::TempFile::Create(context.TempFolder, TempPrefix, error);
      if (error) Fail("cannot create a temporary file in " + context.TempFolder, error);
      slot.TempPath = slot.WorkingCopy.Path();
      // The version read above: a change since then is caught when the result is placed.
      if (stampError) Fail("cannot read " + source, stampError);
      slot.SourceStamp = stamp;
      copy = [source, working = slot.TempPath]() -> std::string {
        const std::error_code failure = platform::CopyFile(source, working);
        return failure ? "cannot copy to " + working + ": " + failure.message() : std::string();
      };
    }
    // Levels the file already has are kept as they are: only the others are asked for.
    slot.Factors = MissingFactors(inventory, levels);
    slot.Levels = levels;
    slot.WorkingPath = slot.WorkingCopy.Path();
    context.RowLevels[index].second = levelsBefore + static_cast<int>(slot.Factors.size());
    slot.Claim = std::move(claim);
    slot.Preparation = context.Workers->Submit(std::move(copy));
    return index;
  } catch (const std::exception& e) {
    context.Reader->Close();
    DiscardWork(slot);
    SettleRow(host, context, index, StatusFailed, e.what());
    return -1;
  }
}

bool LaunchTool(BuildHost& host, BuildContext& context, ItemProc& slot) {
  try {
    const std::shared_ptr<FileWork> preparation = std::move(slot.Preparation);
    if (!preparation->Failure().empty()) throw Exception(preparation->Failure());
    host.ProcessMessages();
    std::error_code error;
    slot.ErrorOutput = platform::MemoryFile::Create("gdaladdo-errors", error);
    if (error) Fail("cannot keep the output of gdaladdo", error);
    slot.ToolOutput = platform::MemoryFile::Create("gdaladdo-output", error);
    if (error) Fail("cannot keep the output of gdaladdo", error);
    const std::string& working = slot.WorkingCopy.Path();
    slot.CommandLine = ToolCommandLine(working, slot.Factors, context.Options.Resampling);
    slot.ProcessHandle =
        platform::Process::Start(context.ToolPath, ToolArguments(working, slot.Factors, context.Options.Resampling),
                                 slot.ErrorOutput->Fd(), slot.ToolOutput->Fd(), error);
    if (error) Fail("cannot start " + context.ToolPath, error);
    slot.Running = true;
    return true;
  } catch (const std::exception& e) {
    const std::int32_t index = slot.Index;
    DiscardWork(slot);
    slot.Index = -1;
    SettleRow(host, context, index, StatusFailed, e.what());
    return false;
  }
}

}  // namespace kelvory
