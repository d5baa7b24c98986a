#include "pyramids/Job.h"

#include "pyramids/LevelRule.h"
#include "pyramids/WorkingCopy.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace kelvory {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::error_code& error) {
  throw Exception(what + ": " + error.message());
}

// The destination of the row's file; a second row with the same file name is refused
// rather than overwriting the first one's copy.
std::string ReserveDestination(BuildHost& host, BuildContext& context, const std::string& source) {
  const std::string destination = host.DestFolder() + "/" + platform::FileNameOf(source);
  if (!context.Destinations.insert(destination).second) {
    throw Exception("another file of this build is already copied to " + destination);
  }
  return destination;
}

// The copy of a file that needs no levels: replaced as a whole, and never onto itself.
void CopyToDestination(BuildHost& host, BuildContext& context, const std::string& source) {
  const std::string destination = ReserveDestination(host, context, source);
  if (platform::SameFile(source, destination)) return;
  platform::TempFile staged;
  if (auto error = StageCopy(source, platform::FolderOf(destination), staged)) {
    Fail("cannot copy to " + destination, error);
  }
  if (auto error = MoveIntoPlace(staged, destination)) Fail("cannot replace " + destination, error);
}

// An in-place result replaces the source by a rename in the source's folder (through
// any link): find out now, before any copying or any tool, whether that can work.
void CheckReplaceable(const std::string& source) {
  std::error_code error;
  const std::string target = platform::ResolvedPath(source, error);
  if (error) Fail("cannot read " + source, error);
  if (platform::CheckWritable(target)) throw Exception(source + " is read-only");
  const std::string folder = platform::FolderOf(target);
  if ((error = platform::CheckWritable(folder))) {
    Fail("cannot write to the folder " + (folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder), error);
  }
}

}  // namespace

void FinishItem(BuildHost& host, std::int32_t index, StatusImage status, const std::string& reason) {
  host.SetRowStatus(index, status);
  host.SetRowChecked(index, false);
  host.SetSelectedCount(host.SelectedCount() - 1);
  host.SetSelectionPanelText("Выбрано: " + std::to_string(host.SelectedCount()));
  host.RowSettled(index, status, reason);
}

void DiscardWork(ItemProc& slot) {
  slot.WorkingCopy.Remove();
  slot.ErrorOutput.reset();
  slot.ToolOutput.reset();
  slot.ReportedPercent = -1;
  slot.Levels = 0;
  slot.TempPath.clear();
  slot.Destination.clear();
  slot.CommandLine.clear();
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
    FinishItem(host, index, StatusNotFound);
    return -1;
  }

  try {
    std::int32_t width = 0;
    std::int32_t height = 0;
    context.Reader->LoadFromFile(source);
    const bool hasImage = context.Reader->GetImageSize(1, width, height);
    const std::int32_t directories = context.Reader->DirectoryCount();
    context.Reader->Close();
    if (!hasImage) throw Exception("the file holds no image");
    const std::int32_t levels = LevelCount(width, height);
    host.ProcessMessages();

    if (directories >= levels) {
      if (host.HasDestFolder()) CopyToDestination(host, context, source);
      slot.TempPath.clear();
      FinishItem(host, index, StatusDone);
      return -1;
    }
    if (levels > MaxLevels) {
      throw Exception("an image of " + std::to_string(width) + " x " + std::to_string(height) +
                      " would need " + std::to_string(levels) + " levels, more than " +
                      std::to_string(MaxLevels));
    }

    std::error_code error;
    if (host.HasDestFolder()) {
      slot.Destination = ReserveDestination(host, context, source);
      // The source itself (its own folder, or a link to it) is processed in place,
      // so that the result lands in the file and not over a link to it.
      if (platform::SameFile(source, slot.Destination)) slot.Destination.clear();
    }
    if (!slot.Destination.empty()) {
      // The tool works on a new file beside the destination, which replaces the
      // destination only once the tool has succeeded: a failed or stopped run leaves
      // whatever was there, and the source itself is never handed to the tool.
      if ((error = StageCopy(source, platform::FolderOf(slot.Destination), slot.WorkingCopy))) {
        Fail("cannot copy to " + platform::FolderOf(slot.Destination), error);
      }
      slot.TempPath.clear();
    } else {
      CheckReplaceable(source);
      slot.WorkingCopy = platform::TempFile::Create(context.TempFolder, "kelvory", error);
      if (error) Fail("cannot create a temporary file in " + context.TempFolder, error);
      slot.TempPath = slot.WorkingCopy.Path();
      slot.SourceStamp = platform::StampOf(source, error);
      if (error) Fail("cannot read " + source, error);
      if ((error = platform::CopyFile(source, slot.TempPath))) Fail("cannot copy to " + slot.TempPath, error);
    }
    host.ProcessMessages();

    slot.ErrorOutput = platform::MemoryFile::Create("gdaladdo-errors", error);
    if (error) Fail("cannot keep the output of gdaladdo", error);
    slot.ToolOutput = platform::MemoryFile::Create("gdaladdo-output", error);
    if (error) Fail("cannot keep the output of gdaladdo", error);
    const std::string& working = slot.WorkingCopy.Path();
    slot.Levels = levels;
    slot.CommandLine = ToolCommandLine(context.ToolCommandPrefix, context.LevelSuffixes, working, levels);
    slot.ProcessHandle = platform::Process::Start(context.ToolPath, ToolArguments(working, levels),
                                                  slot.ErrorOutput->Fd(), slot.ToolOutput->Fd(), error);
    if (error) Fail("cannot start " + context.ToolPath, error);
    return index;
  } catch (const std::exception& e) {
    context.Reader->Close();
    DiscardWork(slot);
    FinishItem(host, index, StatusFailed, e.what());
    return -1;
  }
}

}  // namespace kelvory
