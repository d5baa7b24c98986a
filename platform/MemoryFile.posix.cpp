#include "platform/MemoryFile.h"

#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvory::platform {

std::unique_ptr<MemoryFile> MemoryFile::Create(const std::string& name, std::error_code& error) {
  error.clear();
  UniqueFd fd(::memfd_create(name.c_str(), MFD_CLOEXEC));
  if (!fd.Valid()) {
    error.assign(errno, std::generic_category());
    return nullptr;
  }
  return std::unique_ptr<MemoryFile>(new MemoryFile(std::move(fd)));
}

std::size_t MemoryFile::Read(void* buffer, std::size_t count) {
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    const ssize_t n = ::pread(fd_.Get(), out + done, count - done, static_cast<off_t>(position_ + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  position_ += done;
  return done;
}

std::uint64_t MemoryFile::Size() const {
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace kelvory::platform
