#include "platform/FileStream.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

// Read-only, and others may read but not write: the share mode keeps writers out for
// as long as the file is open, and the open fails while a writer has it.
std::unique_ptr<FileStream> FileStream::Open(const std::string& path, std::error_code& error) {
  error.clear();
  // FILE_FLAG_BACKUP_SEMANTICS lets a folder open, so that it can be told apart.
  UniqueFd fd = win32::OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (!fd.Valid()) {
    error = win32::LastError();
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(win32::HandleOf(fd.Get()), &info)) {
    error = win32::LastError();
    return nullptr;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = std::make_error_code(std::errc::is_a_directory);
    return nullptr;
  }
  const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  return std::unique_ptr<FileStream>(new FileStream(std::move(fd), size));
}

std::size_t FileStream::Read(void* buffer, std::size_t count) {
  const std::size_t done = ReadAt(fd_.Get(), buffer, count, position_);
  position_ += done;
  return done;
}

}  // namespace kelvory::platform
