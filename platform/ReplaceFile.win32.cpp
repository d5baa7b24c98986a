#include "platform/ReplaceFile.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/ReplaceParts.h"
#include "platform/Win32.win32.h"

namespace kelvory::platform {
namespace {

using win32::HandleOf;
using win32::LastError;

constexpr DWORD AllSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::error_code WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return LastError();
    bytes.remove_prefix(written);
  }
  return {};
}

}  // namespace

namespace replace {

Existing Inspect(const std::string& target, std::error_code& error) {
  error.clear();
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(target).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (const DWORD code = ::GetLastError(); code != ERROR_FILE_NOT_FOUND) error = win32::ErrorFrom(code);
    return Existing::None;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Existing::Folder;
  // A read-only file stays as it is, even where its folder would take a new one.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    error = std::make_error_code(std::errc::permission_denied);
    return Existing::None;
  }
  const UniqueFd fd = win32::OpenFile(target, FILE_READ_ATTRIBUTES, AllSharing, OPEN_EXISTING, 0);
  BY_HANDLE_FILE_INFORMATION info{};
  // A device cannot be renamed over, and a rename would split a file from its other
  // hard links.
  if (!fd.Valid() || !::GetFileInformationByHandle(HandleOf(fd.Get()), &info) || info.nNumberOfLinks > 1)
    return Existing::InPlaceOnly;
  return Existing::Renamable;
}

bool Exists(const std::string& path, std::error_code& error) {
  error.clear();
  return ::GetFileAttributesW(win32::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::error_code WriteInPlace(const std::string& path, std::string_view bytes) {
  const UniqueFd fd = win32::OpenFile(path, GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING, 0);
  if (!fd.Valid()) return LastError();
  if (auto error = WriteAll(HandleOf(fd.Get()), bytes)) return error;
  if (!::FlushFileBuffers(HandleOf(fd.Get()))) return LastError();
  return {};
}

UniqueFd CreateNew(const std::string& path, std::error_code& error) {
  error.clear();
  UniqueFd fd = win32::OpenFile(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL);
  if (!fd.Valid()) error = LastError();
  return fd;
}

std::error_code WriteAndClose(UniqueFd file, std::string_view bytes) {
  if (auto error = WriteAll(HandleOf(file.Get()), bytes)) return error;
  if (!::CloseHandle(HandleOf(file.Release()))) return LastError();
  return {};
}

}  // namespace replace

std::error_code ReplaceSteps::SyncFile(const std::string& path) {
  const UniqueFd fd = win32::OpenFile(path, GENERIC_WRITE, AllSharing, OPEN_EXISTING, 0);
  if (!fd.Valid()) return LastError();
  if (!::FlushFileBuffers(HandleOf(fd.Get()))) return LastError();
  return {};
}

// Write-through: the rename has reached the disk when it returns, which is what the
// folder's sync does elsewhere. A target open without delete sharing (a reader has
// it) refuses the rename, and then nothing has changed.
std::error_code ReplaceSteps::Rename(const std::string& from, const std::string& to) {
  if (!::MoveFileExW(win32::Wide(from).c_str(), win32::Wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return LastError();
  return {};
}

// Windows flushes no folder on request; the write-through rename has done it.
std::error_code ReplaceSteps::SyncFolder(const std::string&) { return {}; }

// Links on Windows are rare and need privileges to make: the path itself is replaced.
std::string ReplaceTarget(const std::string& path) { return path; }

std::error_code CheckReplaceable(const std::string& target) {
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(target).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::make_error_code(std::errc::is_a_directory);
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return std::make_error_code(std::errc::operation_not_supported);
  if (auto error = CheckWritable(target)) return error;
  if (auto error = CheckWritable(FolderOf(target))) return error;
  const UniqueFd fd = win32::OpenFile(target, FILE_READ_ATTRIBUTES, AllSharing, OPEN_EXISTING, 0);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!fd.Valid() || !::GetFileInformationByHandle(HandleOf(fd.Get()), &info)) return LastError();
  if (info.nNumberOfLinks > 1) return std::make_error_code(std::errc::too_many_links);
  return {};
}

}  // namespace kelvory::platform
