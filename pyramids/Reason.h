#pragma once
// Why a row settled as it did, as a code with its arguments: the front ends put it
// into words, in the user's language, and act on the code, never on the words.
#include <string>
#include <system_error>
#include <vector>

#include "platform/Errors.h"

namespace kelvory {

enum class ReasonCode {
  None,
  // The build itself.
  Stopped,             // cut short by a stop request
  Busy,                // another process was building the file
  NotFound,            // no file at the path
  EnoughLevels,        // up to date: the file has the levels it needs
  CopyCurrent,         // up to date: Args: the copy, newer than the file and with its levels
  LevelCompressionUnsuited,  // built, levels compressed as the image: Args: compression, bits per sample
  Aborted,             // the build ended unexpectedly
  Unexpected,          // collecting the row failed unexpectedly; Args: what was caught
  // The tool.
  ToolSignal,          // Args: signal number
  ToolExitStatus,      // Args: exit status
  ToolError,           // Args: the tool's own ERROR line, shown as it is
  ToolNoLevels,        // Detail: why the working copy could not be read, or None
  ToolNoSpace,         // Args: the folder the tool wrote in, its error line; Error
  WaitFailed,          // Error
  CannotStart,         // Args: tool; Error
  CannotKeepOutput,    // Error
  // Files.
  WorkingCopyGone,
  DestinationTaken,    // Args: destination
  CannotCreateFolder,  // Args: folder; Error
  CannotReplace,       // Args: file; Error
  CannotCopy,          // Args: file, folder; Error
  CannotCopyTo,        // Args: target; Error
  CannotRemoveStale,   // Args: file; Error
  CannotRead,          // Args: file; Error
  CannotWriteFolder,   // Args: folder; Error
  CannotCreateTemp,    // Args: folder; Error
  CannotCopyToTemp,    // Args: working copy; Error
  NoRoomForCopy,       // Args: file size needed, temporary folder, free there, file's folder, free there
  ReadOnly,            // Args: file
  HardLinks,           // Args: file
  ChangedDuringBuild,  // Args: file
  CannotAppend,        // Args: file
  AppendFailed,        // Args: file; Error
  CannotWriteRecord,   // Args: the build's record; Error
  CannotRecordBuild,   // Args: the build's record
  CannotMakeWorkFolder,  // Args: folder; Error
  UnfinishedLeftAlone,   // Args: file, where the unfinished build's record was set aside
  CannotUndo,          // Args: file; Error
  CannotAppendFile,    // Args: file, the file whose operation failed; Error
  OwnerNotKept,        // Args: file, "owner:group"; Error
  AttributeNotKept,    // Args: file, extended attribute; Error
  CogInPlace,          // Args: file
  CogNotWritten,       // Args: file, what went wrong
  ExternalOverviews,   // Args: file, overview file
  MaskFileInPlace,     // Args: file, mask file
  ExternalBesideInternal,  // Args: file
  // The file's structure.
  NoImage,
  NoLevelCount,        // Args: width, height
  TooManyLevels,       // Args: width, height, levels, most levels
  CannotOpen,          // Args: full path; Error
  UnsupportedFileType,
  FileReadError,
  FileStructureError,
  UnsupportedImageFormat,
  RangeCheck,          // Args: the reader's message
};

// Which step of the build failed behind a reason, where the code alone does not say:
// for scripts (--events) and logs. The reason's words stay those of its code.
enum class FailedStep {
  None,
  // Beginning an append: the decision the plan carried, held against the file.
  NotProven,             // the plan's decision refused the append
  OverviewFileAppeared,  // an overview file lies beside the file since it was planned
  ChangedSincePlanned,   // the file's structure is not the one the decision was made from
  ReadStructure,         // the reader refused the file's or a level file's directories
  // Its journal.
  JournalCreate,
  JournalWrite,
  JournalSync,
  JournalReplace,
  // Finishing it.
  NotBegun,              // no build of the file to finish
  StampRead,             // the file's version could not be read before the merge
  PlanLevels,            // the levels' directories could not be laid out behind the file
  LevelsMoved,           // the levels would not start where the journal's link points
  Marker,
  SyncMarker,
  Append,
  SyncAppend,
  Link,
  SyncLink,
};

struct Reason {
  ReasonCode Code = ReasonCode::None;
  std::vector<std::string> Args;
  std::error_code Error;
  // A reader refusal behind the code (ToolNoLevels).
  ReasonCode Detail = ReasonCode::None;
  // The classic reading refused the file and the widened one reads it.
  bool ReadableWidened = false;
  // The step that failed, behind CannotAppend, AppendFailed and CannotWriteRecord.
  FailedStep Step = FailedStep::None;

  bool Empty() const { return Code == ReasonCode::None; }
  bool operator==(const Reason&) const = default;
};

inline Reason MakeReason(ReasonCode code, std::vector<std::string> args = {}, std::error_code error = {}) {
  return Reason{code, std::move(args), error, ReasonCode::None, false, FailedStep::None};
}

// The same, with the step that failed.
inline Reason MakeReasonAt(FailedStep step, ReasonCode code, std::vector<std::string> args = {},
                           std::error_code error = {}) {
  Reason reason = MakeReason(code, std::move(args), error);
  reason.Step = step;
  return reason;
}

// True for the rules that leave a file as it is to protect it (a layout that new levels
// would break, links a replace would split, an owner or attributes a new file could not
// be given, a file nobody may write): such a file is kept, not failed.
inline bool KeepsFile(ReasonCode code) {
  return code == ReasonCode::CogInPlace || code == ReasonCode::ExternalOverviews || code == ReasonCode::HardLinks ||
         code == ReasonCode::MaskFileInPlace ||
         code == ReasonCode::ReadOnly || code == ReasonCode::ExternalBesideInternal ||
         code == ReasonCode::UnfinishedLeftAlone || code == ReasonCode::OwnerNotKept ||
         code == ReasonCode::AttributeNotKept;
}

// The error the build's steps raise for a row; the row settles with its reason.
class BuildError : public Exception {
 public:
  explicit BuildError(Reason reason) : Exception("build error"), reason_(std::move(reason)) {}
  const Reason& Why() const { return reason_; }

 private:
  Reason reason_;
};

[[noreturn]] inline void Refuse(ReasonCode code, std::vector<std::string> args = {}, std::error_code error = {}) {
  throw BuildError(MakeReason(code, std::move(args), error));
}
[[noreturn]] inline void RefuseAt(FailedStep step, ReasonCode code, std::vector<std::string> args = {},
                                  std::error_code error = {}) {
  throw BuildError(MakeReasonAt(step, code, std::move(args), error));
}

// Every reason code, for tables that must cover them all.
inline constexpr ReasonCode kAllReasonCodes[] = {
    ReasonCode::Stopped,         ReasonCode::Busy,
    ReasonCode::NotFound,        ReasonCode::EnoughLevels,
    ReasonCode::CopyCurrent,     ReasonCode::LevelCompressionUnsuited,
    ReasonCode::Aborted,         ReasonCode::Unexpected,
    ReasonCode::ToolSignal,      ReasonCode::ToolExitStatus,
    ReasonCode::ToolError,       ReasonCode::ToolNoLevels,
    ReasonCode::WaitFailed,      ReasonCode::CannotStart,
    ReasonCode::CannotKeepOutput, ReasonCode::WorkingCopyGone,
    ReasonCode::DestinationTaken, ReasonCode::CannotCreateFolder,
    ReasonCode::CannotReplace,   ReasonCode::CannotCopy,
    ReasonCode::CannotCopyTo,    ReasonCode::CannotRemoveStale,
    ReasonCode::CannotRead,      ReasonCode::CannotWriteFolder,
    ReasonCode::CannotCreateTemp, ReasonCode::CannotCopyToTemp,
    ReasonCode::NoRoomForCopy,   ReasonCode::ExternalBesideInternal,
    ReasonCode::ReadOnly,
    ReasonCode::HardLinks,       ReasonCode::ChangedDuringBuild,
    ReasonCode::CannotAppend,    ReasonCode::AppendFailed,
    ReasonCode::CannotWriteRecord, ReasonCode::CannotRecordBuild,
    ReasonCode::CannotMakeWorkFolder, ReasonCode::UnfinishedLeftAlone,
    ReasonCode::CannotUndo,
    ReasonCode::CannotAppendFile,
    ReasonCode::OwnerNotKept,    ReasonCode::AttributeNotKept,
    ReasonCode::ToolNoSpace,
    ReasonCode::CogInPlace,      ReasonCode::CogNotWritten,
    ReasonCode::ExternalOverviews,
    ReasonCode::MaskFileInPlace,
    ReasonCode::NoImage,         ReasonCode::NoLevelCount,
    ReasonCode::TooManyLevels,
    ReasonCode::CannotOpen,      ReasonCode::UnsupportedFileType,
    ReasonCode::FileReadError,   ReasonCode::FileStructureError,
    ReasonCode::UnsupportedImageFormat, ReasonCode::RangeCheck,
};

}  // namespace kelvory
