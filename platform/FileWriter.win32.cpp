#include "platform/FileWriter.h"

#include <algorithm>
#include <vector>

#include "platform/Files.h"
#include "platform/Win32.win32.h"

#include <winioctl.h>

namespace kelvory::platform {
namespace {

using win32::HandleOf;
using win32::LastError;

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// True for a name that starts with a dot: the convention for files a user need not see,
// which Windows marks with an attribute instead.
bool DottedName(const std::string& path) {
  const std::string name = FileNameOf(path);
  return !name.empty() && name[0] == '.';
}

}  // namespace

FileWriter FileWriter::Open(const std::string& path, Access access, std::error_code& error) {
  error.clear();
  DWORD rights = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (access != Access::Read) rights |= GENERIC_WRITE;
  if (access == Access::CreateNew) {
    disposition = CREATE_NEW;
    if (DottedName(path)) attributes = FILE_ATTRIBUTE_HIDDEN;
  }
  // Others may go on reading, and the claim's own handle, which shares writing, stays
  // valid; nobody may delete or rename the file while it is changed.
  UniqueFd fd = win32::OpenFile(path, rights, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition, attributes);
  if (!fd.Valid()) {
    error = LastError();
    return {};
  }
  return FileWriter(std::move(fd));
}

std::size_t FileWriter::ReadAt(void* buffer, std::size_t count, std::uint64_t offset, std::error_code& error) const {
  error.clear();
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    OVERLAPPED at = At(offset + done);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(HandleOf(fd_.Get()), out + done, chunk, &got, &at)) {
      if (::GetLastError() != ERROR_HANDLE_EOF) error = LastError();
      break;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

std::error_code FileWriter::WriteAt(const void* buffer, std::size_t count, std::uint64_t offset) {
  const auto* bytes = static_cast<const char*>(buffer);
  for (std::size_t done = 0; done < count;) {
    OVERLAPPED at = At(offset + done);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(HandleOf(fd_.Get()), bytes + done, chunk, &written, &at)) return LastError();
    done += written;
  }
  return {};
}

std::error_code FileWriter::CopyFrom(const FileWriter& from, std::uint64_t fromOffset, std::uint64_t toOffset,
                                     std::uint64_t count) {
  std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(count, std::uint64_t{1} << 20)));
  while (count > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, buffer.size()));
    std::error_code error;
    const std::size_t got = from.ReadAt(buffer.data(), chunk, fromOffset, error);
    if (error) return error;
    if (got == 0) return std::make_error_code(std::errc::io_error);  // the source ended early
    if ((error = WriteAt(buffer.data(), got, toOffset))) return error;
    fromOffset += got;
    toOffset += got;
    count -= got;
  }
  return {};
}

// Only a sparse file gives zeroed ranges back; any other just gets zeros written.
std::error_code FileWriter::Discard(std::uint64_t offset, std::uint64_t count) {
  DWORD returned = 0;
  FILE_SET_SPARSE_BUFFER sparse{TRUE};
  if (!::DeviceIoControl(HandleOf(fd_.Get()), FSCTL_SET_SPARSE, &sparse, sizeof sparse, nullptr, 0, &returned,
                         nullptr))
    return LastError();
  FILE_ZERO_DATA_INFORMATION range{};
  range.FileOffset.QuadPart = static_cast<LONGLONG>(offset);
  range.BeyondFinalZero.QuadPart = static_cast<LONGLONG>(offset + count);
  if (!::DeviceIoControl(HandleOf(fd_.Get()), FSCTL_SET_ZERO_DATA, &range, sizeof range, nullptr, 0, &returned,
                         nullptr))
    return LastError();
  return {};
}

std::uint64_t FileWriter::Size(std::error_code& error) const {
  error.clear();
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(HandleOf(fd_.Get()), &size)) {
    error = LastError();
    return 0;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::error_code FileWriter::Truncate(std::uint64_t length) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
  if (!::SetFileInformationByHandle(HandleOf(fd_.Get()), FileEndOfFileInfo, &end, sizeof end)) return LastError();
  return {};
}

std::error_code FileWriter::Sync() {
  if (!::FlushFileBuffers(HandleOf(fd_.Get()))) return LastError();
  return {};
}

FileIdentity FileWriter::Identity(std::error_code& error) const {
  error.clear();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(HandleOf(fd_.Get()), &info)) {
    error = LastError();
    return {};
  }
  return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

namespace {

// FILETIME counts 100 ns from 1601.
constexpr std::int64_t UnixEpochTicks = 116444736000000000;

std::int64_t Nanoseconds(const FILETIME& time) {
  const std::int64_t ticks = static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
  return (ticks - UnixEpochTicks) * 100;
}

FILETIME FileTimeOf(std::int64_t nanoseconds) {
  const auto ticks = static_cast<std::uint64_t>(nanoseconds / 100 + UnixEpochTicks);
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace

FileTimes FileWriter::Times(std::error_code& error) const {
  error.clear();
  FILETIME accessed{}, modified{};
  if (!::GetFileTime(HandleOf(fd_.Get()), nullptr, &accessed, &modified)) {
    error = LastError();
    return {};
  }
  return {Nanoseconds(accessed), Nanoseconds(modified)};
}

std::error_code FileWriter::SetTimes(const FileTimes& times) {
  const FILETIME accessed = FileTimeOf(times.Accessed), modified = FileTimeOf(times.Modified);
  if (!::SetFileTime(HandleOf(fd_.Get()), nullptr, &accessed, &modified)) return LastError();
  return {};
}

// NTFS logs its folder entries, and a file's own sync commits that log: there is no
// folder to sync.
std::error_code SyncFolder(const std::string&) { return {}; }

}  // namespace kelvory::platform
