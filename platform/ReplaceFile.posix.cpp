#include "platform/ReplaceFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/ReplaceParts.h"
#include "platform/UniqueFd.h"

namespace kelvory::platform {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

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

std::error_code SyncPath(const std::string& path, int flags) {
  UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC));
  if (!fd.Valid()) return LastError();
  if (::fsync(fd.Get()) != 0) return LastError();
  return {};
}

}  // namespace

namespace replace {

Existing Inspect(const std::string& target, std::error_code& error) {
  error.clear();
  struct stat old {};
  if (::stat(target.c_str(), &old) != 0) {
    if (errno != ENOENT) error = LastError();
    return Existing::None;
  }
  if (S_ISDIR(old.st_mode)) return Existing::Folder;
  // A file the user may not write stays as it is, even where its folder would let
  // a new file take its place.
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    error = LastError();
    return Existing::None;
  }
  // A device or pipe cannot be renamed over, and a rename would split a file with
  // other hard links from them.
  if (!S_ISREG(old.st_mode) || old.st_nlink > 1) return Existing::InPlaceOnly;
  return Existing::Renamable;
}

bool Exists(const std::string& path, std::error_code& error) {
  error.clear();
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return true;
  if (errno != ENOENT) error = LastError();
  return false;
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

UniqueFd CreateNew(const std::string& path, std::error_code& error) {
  error.clear();
  // 0666 and the umask: the same permissions a plain create would give.
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (!fd.Valid()) error = LastError();
  return fd;
}

std::error_code WriteAndClose(UniqueFd file, std::string_view bytes) {
  if (auto error = WriteAll(file.Get(), bytes)) return error;
  if (::close(file.Release()) != 0) return LastError();
  return {};
}

}  // namespace replace

std::error_code ReplaceSteps::SyncFile(const std::string& path) { return SyncPath(path, O_RDONLY); }

std::error_code ReplaceSteps::Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return LastError();
  return {};
}

std::error_code ReplaceSteps::SyncFolder(const std::string& folder) {
  return SyncPath(folder, O_RDONLY | O_DIRECTORY);
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

}  // namespace kelvory::platform
