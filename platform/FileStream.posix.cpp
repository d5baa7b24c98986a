#include "platform/FileStream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvory::platform {

std::unique_ptr<FileStream> FileStream::Open(const std::string& path, std::error_code& error) {
  error.clear();
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    error.assign(errno, std::generic_category());
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) {
    error.assign(errno, std::generic_category());
    return nullptr;
  }
  if (S_ISDIR(info.st_mode)) {
    error = std::make_error_code(std::errc::is_a_directory);
    return nullptr;
  }
  if (::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0) {
    // Someone holds the file for writing: report it as busy, as a sharing violation is.
    error = errno == EWOULDBLOCK ? std::make_error_code(std::errc::device_or_resource_busy)
                                 : std::error_code(errno, std::generic_category());
    return nullptr;
  }
  return std::unique_ptr<FileStream>(new FileStream(std::move(fd), static_cast<std::uint64_t>(info.st_size)));
}

std::size_t FileStream::Read(void* buffer, std::size_t count) {
  const std::size_t done = ReadAt(fd_.Get(), buffer, count, position_);
  position_ += done;
  return done;
}

}  // namespace kelvory::platform
