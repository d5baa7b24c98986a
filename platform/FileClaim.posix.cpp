#include "platform/FileClaim.h"

#include "platform/DescriptorStream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvory::platform {
namespace {

// A file replaced under its name between the open and the lock leaves the lock on
// the old file; a few tries find the one the name holds now.
constexpr int kTakeAttempts = 5;

// True when another program holds the file locked for writing, which readers' shared
// locks respect. Asked before the claim's own lock, which over NFS it would meet.
bool LockedForWriting(const std::string& path) {
  UniqueFd probe(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  return probe.Valid() && ::flock(probe.Get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

}  // namespace

std::unique_ptr<Stream> FileClaim::Contents(std::error_code& error) const {
  error.clear();
  struct stat info {};
  if (!fd_.Valid()) {
    error = std::make_error_code(std::errc::bad_file_descriptor);
    return nullptr;
  }
  if (::fstat(fd_.Get(), &info) != 0) {
    error.assign(errno, std::generic_category());
    return nullptr;
  }
  return std::make_unique<DescriptorStream>(fd_.Get(), static_cast<std::uint64_t>(info.st_size));
}

FileClaim FileClaim::Take(const std::string& path, std::error_code& error) {
  error.clear();
  if (LockedForWriting(path)) {
    error = std::make_error_code(std::errc::device_or_resource_busy);
    return {};
  }
  for (int attempt = 0; attempt < kTakeAttempts; ++attempt) {
    // O_NONBLOCK: a FIFO or device under a file's name must not hang the open.
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) {
      error.assign(errno, std::generic_category());
      return {};
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // the whole file, however it grows
    if (::fcntl(fd.Get(), F_OFD_SETLK, &lock) != 0) {
      const int failure = errno;
      error = failure == EAGAIN || failure == EACCES ? std::make_error_code(std::errc::device_or_resource_busy)
                                                     : std::error_code(failure, std::generic_category());
      return {};
    }
    struct stat locked {};
    struct stat named {};
    if (::fstat(fd.Get(), &locked) != 0) {
      error.assign(errno, std::generic_category());
      return {};
    }
    if (::stat(path.c_str(), &named) == 0 && named.st_dev == locked.st_dev && named.st_ino == locked.st_ino) {
      return FileClaim(std::move(fd));
    }
  }
  error = std::make_error_code(std::errc::device_or_resource_busy);
  return {};
}

}  // namespace kelvory::platform
