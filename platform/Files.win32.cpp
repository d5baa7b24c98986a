#include "platform/Files.h"

#include "platform/Paths.h"
#include "platform/Win32.win32.h"

namespace kelvory::platform {
namespace {

using win32::HandleOf;
using win32::LastError;

// Opens for nothing but its attributes: no share mode of another open can refuse it,
// and a folder opens too.
UniqueFd OpenForAttributes(const std::string& path) {
  return win32::OpenFile(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
}

bool InfoOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  const UniqueFd fd = OpenForAttributes(path);
  return fd.Valid() && ::GetFileInformationByHandle(HandleOf(fd.Get()), &info);
}

}  // namespace

bool FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FileStamp StampOf(const std::string& path, std::error_code& error) {
  error.clear();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!InfoOf(path, info)) {
    error = LastError();
    return {};
  }
  // 100-nanosecond steps since 1601; only order matters, so no shift to 1970.
  const unsigned long long written =
      (static_cast<unsigned long long>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
  unsigned long long changed = 0;
  FILE_BASIC_INFO basic{};
  if (const UniqueFd fd = OpenForAttributes(path);
      fd.Valid() && ::GetFileInformationByHandleEx(HandleOf(fd.Get()), FileBasicInfo, &basic, sizeof basic)) {
    changed = static_cast<unsigned long long>(basic.ChangeTime.QuadPart);
  }
  return {info.dwVolumeSerialNumber,
          (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
          static_cast<long long>((static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow),
          static_cast<long long>(written / 10000000),
          static_cast<long long>(written % 10000000) * 100,
          static_cast<long long>(changed / 10000000),
          static_cast<long long>(changed % 10000000) * 100};
}

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  return InfoOf(a, x) && InfoOf(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool SameFileSystem(const std::string& path, const std::string& folder) {
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  return InfoOf(path, x) && InfoOf(folder, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber;
}

std::error_code CopyFile(const std::string& from, const std::string& to) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(from).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::make_error_code(std::errc::is_a_directory);
  // CopyFileExW refuses a file onto itself with a sharing violation: that copy has
  // nothing to do.
  if (SameFile(from, to)) return {};
  if (!::CopyFileExW(win32::WidePath(from).c_str(), win32::WidePath(to).c_str(), nullptr, nullptr, nullptr, 0))
    return LastError();
  return {};
}

unsigned long long FreeSpace(const std::string& path, std::error_code& error) {
  error.clear();
  ULARGE_INTEGER available{};
  std::string folder = path;
  // The call wants a folder; a file's own folder holds it.
  if (!FolderExists(folder)) folder = FolderOf(path);
  if (!::GetDiskFreeSpaceExW(win32::WidePath(folder).c_str(), &available, nullptr, nullptr)) {
    error = LastError();
    return 0;
  }
  return available.QuadPart;
}

std::error_code DeleteFile(const std::string& path) {
  if (!::DeleteFileW(win32::WidePath(path).c_str())) return LastError();
  return {};
}

// A file here takes its folder's access rules when made; what a user sets on a file
// himself are its attributes, read-only and hidden among them.
std::error_code CopyPermissions(const std::string& model, const std::string& path) {
  const DWORD from = ::GetFileAttributesW(win32::WidePath(model).c_str());
  const DWORD to = ::GetFileAttributesW(win32::WidePath(path).c_str());
  if (from == INVALID_FILE_ATTRIBUTES || to == INVALID_FILE_ATTRIBUTES) return LastError();
  constexpr DWORD carried = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const DWORD wanted = (to & ~carried) | (from & carried);
  if (wanted != to && !::SetFileAttributesW(win32::WidePath(path).c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted))
    return LastError();
  return {};
}

std::error_code CheckWritable(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // The read-only attribute of a file is a user's wish; on a folder it means nothing.
  if (!folder && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return win32::ErrorFrom(ERROR_ACCESS_DENIED);
  // The access rules decide the rest: ask for the right itself, sharing with everyone.
  const DWORD access = folder ? FILE_ADD_FILE : FILE_WRITE_DATA;
  const UniqueFd fd = win32::OpenFile(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (!fd.Valid()) {
    const std::error_code error = LastError();
    // Open elsewhere without sharing: writable, just not at this moment.
    if (error == std::errc::device_or_resource_busy) return {};
    return error;
  }
  return {};
}

std::string ResolvedPath(const std::string& path, std::error_code& error) {
  error.clear();
  const UniqueFd fd = OpenForAttributes(path);
  if (!fd.Valid()) {
    error = LastError();
    return {};
  }
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(HandleOf(fd.Get()), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 && ::GetLastError() == ERROR_MORE_DATA) {
      // Wine names no file past MAX_PATH by its handle, whatever the buffer: its full
      // path serves there, links unresolved (a replace here does not follow them either).
      const std::wstring full = win32::FullPathName(win32::WidePath(path));
      if (full.empty()) break;
      return win32::ShownPath(full);
    }
    if (n == 0) break;
    if (n < buffer.size()) {
      buffer.resize(n);
      // "\\?\C:\..." and "\\?\UNC\server\..." back to the usual spellings.
      return win32::ShownPath(buffer);
    }
    buffer.resize(n + 1);
  }
  error = LastError();
  return {};
}

std::string FolderOf(const std::string& path) {
  const auto separator = LastSeparator(path);
  if (separator != std::string::npos) return path.substr(0, separator + 1);
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);  // "C:name": the drive's current folder
  return "./";
}

std::string FileNameOf(const std::string& path) {
  const auto separator = LastSeparator(path);
  if (separator != std::string::npos) return path.substr(separator + 1);
  if (path.size() >= 2 && path[1] == ':') return path.substr(2);
  return path;
}

std::string TempFolder() {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  const DWORD n = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (n == 0 || n > buffer.size()) return "C:\\Windows\\Temp\\";
  buffer.resize(n);
  std::string folder = win32::Narrow(buffer);
  if (!IsSeparator(folder.back())) folder += '\\';
  return folder;
}

}  // namespace kelvory::platform
