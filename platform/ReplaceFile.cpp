#include "platform/ReplaceFile.h"

#include <random>

#include "platform/FileAttributes.h"
#include "platform/Files.h"
#include "platform/ReplaceParts.h"

namespace kelvory::platform {
namespace {

// Removes the new file unless it has taken the old one's place.
class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() {
    if (!path_.empty()) DeleteFile(path_);
  }
  void Set(std::string path) { path_ = std::move(path); }
  const std::string& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

// A new file with a unique name in folder, for bytes that will replace a file there.
UniqueFd CreateBeside(const std::string& folder, PendingFile& pending, std::error_code& error) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = folder + ".kelvory-new-" + std::to_string(random()) + ".tmp";
    UniqueFd fd = replace::CreateNew(name, error);
    if (fd.Valid()) {
      pending.Set(std::move(name));
      return fd;
    }
    if (error != std::errc::file_exists) return {};
  }
  return {};
}

}  // namespace

std::error_code ReplaceSteps::TakeOverAttributes(const std::string& model, const std::string& path) {
  return CopyAttributes(model, path);
}

ReplaceSteps& SystemReplaceSteps() {
  static ReplaceSteps steps;
  return steps;
}

std::error_code Replace(const std::string& staged, const std::string& target, ReplaceSteps& steps) {
  std::error_code error;
  const bool exists = replace::Exists(target, error);
  if (error) return error;
  if (exists) {
    if ((error = steps.TakeOverAttributes(target, staged))) return error;
  }
  if ((error = steps.SyncFile(staged))) return error;
  if ((error = steps.Rename(staged, target))) return error;
  // The rename has happened: the old file is gone whatever the folder's sync says,
  // but a failed sync is still reported, since the new name may not survive a crash.
  return steps.SyncFolder(FolderOf(target));
}

std::error_code ReplaceFileContents(const std::string& path, std::string_view bytes, ReplaceSteps& steps) noexcept try {
  const std::string target = ReplaceTarget(path);
  std::error_code error;
  const replace::Existing existing = replace::Inspect(target, error);
  if (error) return error;
  if (existing == replace::Existing::Folder) return std::make_error_code(std::errc::is_a_directory);
  if (existing == replace::Existing::InPlaceOnly) return replace::WriteInPlace(target, bytes);

  PendingFile pending;
  UniqueFd fd = CreateBeside(FolderOf(target), pending, error);
  if (!fd.Valid()) {
    // A folder that takes no new file still lets its writable files be written.
    const bool refused = error == std::errc::permission_denied || error == std::errc::operation_not_permitted;
    if (existing != replace::Existing::None && refused) return replace::WriteInPlace(target, bytes);
    return error;
  }
  if ((error = replace::WriteAndClose(std::move(fd), bytes))) return error;
  if ((error = Replace(pending.Path(), target, steps))) {
    // A failure after the rename leaves the new file in place: nothing to remove.
    if (!FileExists(pending.Path())) pending.Keep();
    return error;
  }
  pending.Keep();
  return {};
} catch (const std::exception&) {
  return std::make_error_code(std::errc::not_enough_memory);
}

}  // namespace kelvory::platform
