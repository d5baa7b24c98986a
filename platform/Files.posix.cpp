#include "platform/Files.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/UniqueFd.h"

namespace kelvory::platform {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

bool Stat(const std::string& path, struct stat& info) { return ::stat(path.c_str(), &info) == 0; }

std::error_code CopyByReading(int in, int out) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastError();
    if (n == 0) return {};
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return LastError();
      done += w;
    }
  }
}

// Copies length bytes at offset in both files; false with errno when the kernel cannot
// copy between these files at all.
bool CopyRange(int in, int out, off_t offset, off_t length, bool& anyCopied, std::error_code& error) {
  off_t from = offset;
  off_t to = offset;
  while (length > 0) {
    const ssize_t n = ::copy_file_range(in, &from, out, &to, static_cast<std::size_t>(std::min<off_t>(length, off_t{1} << 30)), 0);
    if (n > 0) {
      anyCopied = true;
      length -= n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) break;
    if (!anyCopied && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) return false;
    error = LastError();
    return true;
  }
  return true;
}

// The kernel copies without passing the bytes through us, the data ranges only, so a
// sparse file stays sparse; a filesystem that cannot (another filesystem type, an old
// kernel) falls back to plain reads and writes.
std::error_code CopyContents(int in, int out, off_t size) {
  if (::ioctl(out, FICLONE, in) == 0) return {};
  bool anyCopied = false;
  std::error_code error;
  for (off_t at = 0; at < size;) {
    off_t data = ::lseek(in, at, SEEK_DATA);
    if (data < 0 && errno == ENXIO) break;  // only a hole is left
    if (data < 0) data = at;                // no hole support: copy everything
    off_t hole = ::lseek(in, data, SEEK_HOLE);
    if (hole < 0) hole = size;
    if (!CopyRange(in, out, data, hole - data, anyCopied, error)) {
      if (::lseek(in, 0, SEEK_SET) < 0 || ::lseek(out, 0, SEEK_SET) < 0) return LastError();
      return CopyByReading(in, out);
    }
    if (error) return error;
    at = hole;
  }
  // The file's length, holes at its end included.
  if (::ftruncate(out, size) != 0) return LastError();
  return {};
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat info {};
  return Stat(path, info) && S_ISREG(info.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return Stat(path, info) && S_ISDIR(info.st_mode);
}

FileStamp StampOf(const std::string& path, std::error_code& error) {
  error.clear();
  struct stat info {};
  if (!Stat(path, info)) {
    error = LastError();
    return {};
  }
  return {info.st_dev,          info.st_ino,          info.st_size,         info.st_mtim.tv_sec,
          info.st_mtim.tv_nsec, info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat x {}, y {};
  return Stat(a, x) && Stat(b, y) && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool SameFileSystem(const std::string& path, const std::string& folder) {
  struct stat x {}, y {};
  return Stat(path, x) && Stat(folder, y) && x.st_dev == y.st_dev;
}

std::error_code CopyFile(const std::string& from, const std::string& to) {
  UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.Valid()) return LastError();
  struct stat source {};
  if (::fstat(in.Get(), &source) != 0) return LastError();
  if (S_ISDIR(source.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  // Opened without truncation first: only once it is known not to be the source
  // itself may the target be emptied.
  UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, source.st_mode & 0777));
  if (!out.Valid()) return LastError();
  struct stat target {};
  if (::fstat(out.Get(), &target) != 0) return LastError();
  if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) return {};
  // Truncating a file that is already empty is not free: on ext4 it makes the close
  // write the whole new contents out before the tool may start.
  if (target.st_size != 0 && ::ftruncate(out.Get(), 0) != 0) return LastError();
  if (auto error = CopyContents(in.Get(), out.Get(), source.st_size)) return error;
  if (::close(out.Release()) != 0) return LastError();
  return {};
}

unsigned long long FreeSpace(const std::string& path, std::error_code& error) {
  error.clear();
  struct statvfs info {};
  if (::statvfs(path.c_str(), &info) != 0) {
    error = LastError();
    return 0;
  }
  return static_cast<unsigned long long>(info.f_bavail) * info.f_frsize;
}

std::error_code DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return LastError();
  return {};
}

std::error_code CopyPermissions(const std::string& model, const std::string& path) {
  struct stat info {};
  if (!Stat(model, info)) return LastError();
  // The owner only where we may give it (as the superuser); the mode after it, since
  // a change of owner clears set-id bits.
  if (::chown(path.c_str(), info.st_uid, info.st_gid) != 0 && errno != EPERM) return LastError();
  if (::chmod(path.c_str(), info.st_mode & 07777) != 0) return LastError();
  return {};
}

std::string ResolvedPath(const std::string& path, std::error_code& error) {
  error.clear();
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) {
    error = LastError();
    return {};
  }
  return resolved.get();
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TempFolder() {
  const char* value = std::getenv("TMPDIR");
  std::string folder = value != nullptr && *value != '\0' ? value : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::error_code CheckWritable(const std::string& path) {
  // The effective ids decide what the process may do, not the real ones.
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return LastError();
  // A privileged user passes the access check, but a file or folder that nobody may
  // write has been marked read-only on purpose and is not ours to replace.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return LastError();
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return std::make_error_code(std::errc::permission_denied);
  return {};
}

}  // namespace kelvory::platform
