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
  const std::size_t done = ReadAt(fd_.Get(), buffer, count, position_);
  position_ += done;
  return done;
}

std::uint64_t MemoryFile::Size() const {
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace kelvory::platform
