#pragma once
// Building a file's levels in place without copying it. gdaladdo -ro writes them into
// an overview file in the file's hidden work folder (WorkFolder.h), where no reader of
// the file finds them; they are appended to the file's end behind a marker, synced,
// and one pointer write (the last directory's next-directory offset) links them into
// its chain. A journal beside the file, written before anything else, lets recovery
// undo a build cut short anywhere, or finish one whose link is in place, and tells the
// states the build can leave from every other: the protocol is in PROTOCOL.md. The
// file keeps its inode, so its other names, owner, permissions and attributes stay.
//
// The caller holds the file's claim (platform::FileClaim) from Begin until Finish or
// Abandon has returned: recovery leaves a claimed file alone.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pyramids/AppendJournal.h"
#include "pyramids/AppendLinkDecision.h"
#include "pyramids/Reason.h"

namespace kelvory {

// The journal beside source, and the mask's stand-in in its work folder: a virtual
// image that shows the mask to the tool as an image.
std::string JournalOf(const std::string& source);
std::string MaskStandInOf(const std::string& source);

// Every directory of the file at path. Raises EFOpenError, BuildError and the reader's
// errors.
TiffChain ReadChainOf(const std::string& path);

// Reads the file's structure and decides whether its levels can be appended with the
// build's resampling method. Raises nothing.
AppendLinkDecision DecideAppendLink(const std::string& source, Resampling method);

// The steps of Finish, in order; an observer sees each just before it is taken.
enum class MergeStep { Marker, SyncMarker, Append, SyncAppend, Link, SyncLink, RemoveWorkFiles, RemoveJournal };
using MergeObserver = std::function<void(MergeStep)>;

class AppendLinkBuild {
 public:
  AppendLinkBuild() = default;
  AppendLinkBuild(AppendLinkBuild&& other) noexcept;
  AppendLinkBuild& operator=(AppendLinkBuild&& other) noexcept;
  AppendLinkBuild(const AppendLinkBuild&) = delete;
  AppendLinkBuild& operator=(const AppendLinkBuild&) = delete;
  // A build neither finished nor abandoned is abandoned.
  ~AppendLinkBuild();

  // Writes the journal, then makes the work folder (and for a mask the stand-in): from
  // here on whatever happens can be undone. The decision is DecideAppendLink's for the
  // same file and method, made when the file was planned; the file is read again and
  // must still have the structure it was made from. Raises BuildError when the build
  // cannot begin (CannotAppend with the step that failed when the file changed).
  static AppendLinkBuild Begin(const std::string& source, const AppendLinkDecision& decision,
                               const std::vector<std::int64_t>& factors, Resampling method);

  // The tool's runs, in order, each the arguments after the tool's own name; each
  // starts once the one before has succeeded.
  const std::vector<std::vector<std::string>>& ToolRuns() const { return runs_; }

  // Once every run has succeeded: writes the marker, syncs, appends the levels,
  // syncs, links them, syncs, and removes the work folder and the
  // journal. Raises BuildError (with the step that failed, and the system's error where
  // there is one) when it fails before the link is synced, after putting the file back
  // as it was.
  void Finish(const MergeObserver& observer = {});
  // A run failed or was stopped (its tool has ended): puts everything back as it was.
  void Abandon();

  const std::string& Source() const { return source_; }

 private:
  std::string source_;
  AppendJournal journal_;
  std::vector<std::vector<std::string>> runs_;
  bool hasMask_ = false;
  bool pending_ = false;
};

}  // namespace kelvory
