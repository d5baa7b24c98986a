#pragma once
// Replacing a whole file so that whoever reads it, even after a crash or a power cut,
// finds either the old file or the whole new one: the new file is written aside in the
// target's folder, its data reach the disk, it takes the old file's owner, extended
// attributes and permissions, its name replaces the old one, and the folder's new
// entry reaches the disk.
// Every file the program replaces goes through here. Nothing here throws.
#include <string>
#include <string_view>
#include <system_error>

namespace kelvory::platform {

// The steps of a replace, in the order Replace takes them. Tests put their own in to
// record the order or to make one step fail.
class ReplaceSteps {
 public:
  virtual ~ReplaceSteps() = default;
  // Makes the file's data durable.
  virtual std::error_code SyncFile(const std::string& path);
  // Gives path the owner (where allowed), extended attributes and permission bits of model.
  virtual std::error_code TakeOverAttributes(const std::string& model, const std::string& path);
  virtual std::error_code Rename(const std::string& from, const std::string& to);
  // Makes the folder's entries durable.
  virtual std::error_code SyncFolder(const std::string& folder);
};

// The steps as the system performs them.
ReplaceSteps& SystemReplaceSteps();

// The file a replace of path really changes: a symbolic link is followed, so the file
// it points to is replaced and the link stays.
std::string ReplaceTarget(const std::string& path);

// Why target (ReplaceTarget's result) cannot be replaced, or no error: not a regular
// file (EISDIR for a folder), a file nobody may write or this user may not (EACCES,
// also for a privileged user: read-only on purpose), a folder that takes no new file,
// or a file with other hard links (EMLINK: a rename would split them).
std::error_code CheckReplaceable(const std::string& target);

// Replaces target (ReplaceTarget's result; it may not exist yet) with the file at
// staged, which must lie on target's filesystem, best in its folder. An existing
// target's owner, extended attributes and permissions go over to staged (the owner
// only where allowed; an attribute that cannot go over fails the replace). On success
// staged is gone; on failure target is unchanged and staged is where it was.
std::error_code Replace(const std::string& staged, const std::string& target,
                        ReplaceSteps& steps = SystemReplaceSteps());

// Gives the file at path exactly the bytes given through Replace. A writable file that
// cannot be replaced by a rename (a device, a file with other hard links, one in a
// folder that takes no new file) is truncated and written in place instead, and
// synced. On failure by Replace the old file is unchanged and the new one is gone.
std::error_code ReplaceFileContents(const std::string& path, std::string_view bytes,
                                    ReplaceSteps& steps = SystemReplaceSteps()) noexcept;

}  // namespace kelvory::platform
