#include "platform/FileClaim.h"

#include "platform/DescriptorStream.h"
#include "platform/Patience.h"
#include "platform/Win32.win32.h"

namespace kelvory::platform {
namespace {

// Windows byte-range locks keep everyone else from reading the bytes they cover, so
// the claim locks one byte far beyond any file's end: other claims meet it, readers
// and copies of the file do not.
constexpr DWORD ClaimOffsetLow = 0xFFFFFFFEu;
constexpr DWORD ClaimOffsetHigh = 0x7FFFFFFFu;

}  // namespace

std::unique_ptr<Stream> FileClaim::Contents(std::error_code& error) const {
  error.clear();
  LARGE_INTEGER size{};
  if (!fd_.Valid() || ::GetFileSizeEx(win32::HandleOf(fd_.Get()), &size) == 0) {
    error = fd_.Valid() ? win32::LastError() : std::make_error_code(std::errc::bad_file_descriptor);
    return nullptr;
  }
  return std::make_unique<DescriptorStream>(fd_.Get(), static_cast<std::uint64_t>(size.QuadPart));
}

FileClaim FileClaim::Take(const std::string& path, std::error_code& error) {
  UniqueFd fd;
  // A reader that shares no writing goes away soon; another claim (the lock below)
  // belongs to a build that will not.
  error = Patiently(
      [&] {
        fd = win32::OpenFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
        return fd.Valid() ? std::error_code() : win32::LastError();
      },
      win32::HeldByAnother);
  if (error) return {};
  OVERLAPPED at{};
  at.Offset = ClaimOffsetLow;
  at.OffsetHigh = ClaimOffsetHigh;
  if (::LockFileEx(win32::HandleOf(fd.Get()), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) == 0) {
    const DWORD failure = ::GetLastError();
    error = win32::ErrorFrom(failure == ERROR_IO_PENDING ? ERROR_LOCK_VIOLATION : failure);
    return {};
  }
  return FileClaim(std::move(fd));
}

}  // namespace kelvory::platform
