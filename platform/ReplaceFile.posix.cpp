#include "platform/ReplaceFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/UniqueFd.h"

namespace kelvory::platform {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

// Removes the new file unless it has taken the old one's place.
class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  void Set(std::string path) { path_ = std::move(path); }
  const std::string& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

std::error_code WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

std::error_code WriteInPlace(const std::string& path, std::string_view bytes) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
  if (!fd.Valid()) return LastError();
  if (auto error = WriteAll(fd.Get(), bytes)) return error;
  struct stat info {};
  if (::fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode) && ::fsync(fd.Get()) != 0) return LastError();
  if (::close(fd.Release()) != 0) return LastError();
  return {};
}

std::error_code SyncPath(const std::string& path, int flags) {
  UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC));
  if (!fd.Valid()) return LastError();
  if (::fsync(fd.Get()) != 0) return LastError();
  return {};
}

// A new file with a unique name in folder, for bytes that will replace a file there.
UniqueFd CreateBeside(const std::string& folder, PendingFile& pending) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = folder + ".kelvory-new-" + std::to_string(random()) + ".tmp";
    // 0666 and the umask: the same permissions a plain create would give.
    UniqueFd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Valid()) {
      pending.Set(std::move(name));
      return fd;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

}  // namespace

std::error_code ReplaceSteps::SyncFile(const std::string& path) { return SyncPath(path, O_RDONLY); }

std::error_code ReplaceSteps::TakeOverPermissions(const std::string& model, const std::string& path) {
  return CopyPermissions(model, path);
}

std::error_code ReplaceSteps::Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return LastError();
  return {};
}

std::error_code ReplaceSteps::SyncFolder(const std::string& folder) {
  return SyncPath(folder, O_RDONLY | O_DIRECTORY);
}

ReplaceSteps& SystemReplaceSteps() {
  static ReplaceSteps steps;
  return steps;
}

std::string ReplaceTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;  // a dangling link: replaced like a file
  std::string target(resolved);
  std::free(resolved);
  return target;
}

std::error_code CheckReplaceable(const std::string& target) {
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0) return LastError();
  if (S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (!S_ISREG(info.st_mode)) return std::make_error_code(std::errc::operation_not_supported);
  if (auto error = CheckWritable(target)) return error;
  if (auto error = CheckWritable(FolderOf(target))) return error;
  if (info.st_nlink > 1) return std::make_error_code(std::errc::too_many_links);
  return {};
}

std::error_code Replace(const std::string& staged, const std::string& target, ReplaceSteps& steps) {
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return LastError();
  if (exists) {
    if (auto error = steps.TakeOverPermissions(target, staged)) return error;
  }
  if (auto error = steps.SyncFile(staged)) return error;
  if (auto error = steps.Rename(staged, target)) return error;
  // The rename has happened: the old file is gone whatever the folder's sync says,
  // but a failed sync is still reported, since the new name may not survive a crash.
  return steps.SyncFolder(FolderOf(target));
}

std::error_code ReplaceFileContents(const std::string& path, std::string_view bytes, ReplaceSteps& steps) noexcept try {
  const std::string target = ReplaceTarget(path);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists) {
    if (S_ISDIR(old.st_mode)) return std::make_error_code(std::errc::is_a_directory);
    // A file the user may not write stays as it is, even where its folder would let
    // a new file take its place.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return LastError();
    // A device or pipe cannot be renamed over, and a rename would split a file with
    // other hard links from them.
    if (!S_ISREG(old.st_mode) || old.st_nlink > 1) return WriteInPlace(target, bytes);
  } else if (errno != ENOENT) {
    return LastError();
  }

  PendingFile pending;
  UniqueFd fd = CreateBeside(FolderOf(target), pending);
  if (!fd.Valid()) {
    // A folder that takes no new file still lets its writable files be written.
    if (exists && (errno == EACCES || errno == EPERM)) return WriteInPlace(target, bytes);
    return LastError();
  }
  if (auto error = WriteAll(fd.Get(), bytes)) return error;
  if (::close(fd.Release()) != 0) return LastError();
  if (auto error = Replace(pending.Path(), target, steps)) {
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
