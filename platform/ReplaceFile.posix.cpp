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

std::string FollowLink(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;  // a dangling link: replaced like a file
  std::string target(resolved);
  std::free(resolved);
  return target;
}

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

// Something that is not a plain file (a device, a pipe) cannot be replaced by a
// rename, nor can a file in a folder that refuses new files; it is written as it is.
std::error_code WriteInPlace(const std::string& path, std::string_view bytes) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
  if (!fd.Valid()) return LastError();
  return WriteAll(fd.Get(), bytes);
}

}  // namespace

std::error_code ReplaceFileContents(const std::string& path, std::string_view bytes) noexcept try {
  const std::string target = FollowLink(path);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists) {
    if (S_ISDIR(old.st_mode)) return std::make_error_code(std::errc::is_a_directory);
    if (!S_ISREG(old.st_mode)) return WriteInPlace(target, bytes);
    // A file the user may not write stays as it is, even where its folder would let
    // a new file take its place.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return LastError();
  } else if (errno != ENOENT) {
    return LastError();
  }

  const std::string folder = FolderOf(target);  // with its trailing '/'
  std::random_device random;
  PendingFile pending;
  UniqueFd fd;
  for (int attempt = 0; !fd.Valid(); ++attempt) {
    std::string name = folder + ".kelvory-list-" + std::to_string(random()) + ".tmp";
    // 0666 and the umask: the same permissions a plain create would give.
    fd = UniqueFd(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Valid()) {
      pending.Set(std::move(name));
    } else if (exists && (errno == EACCES || errno == EPERM)) {
      // A folder that takes no new file still lets its writable files be written.
      return WriteInPlace(target, bytes);
    } else if (errno != EEXIST || attempt == 100) {
      return LastError();
    }
  }
  if (exists) {
    // Owner and group can only be kept where the system allows it; the mode always.
    if (::fchown(fd.Get(), old.st_uid, old.st_gid) != 0) {
      // Keeping the mode matters more than a group that could not be kept.
    }
    if (::fchmod(fd.Get(), old.st_mode & 07777) != 0) return LastError();
  }
  if (auto error = WriteAll(fd.Get(), bytes)) return error;
  if (::fsync(fd.Get()) != 0) return LastError();
  if (::close(fd.Release()) != 0) return LastError();
  if (::rename(pending.Path().c_str(), target.c_str()) != 0) return LastError();
  pending.Keep();
  return {};
} catch (const std::exception&) {
  return std::make_error_code(std::errc::not_enough_memory);
}

}  // namespace kelvory::platform
