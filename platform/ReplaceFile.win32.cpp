#include "platform/ReplaceFile.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/Files.h"
#include "platform/Patience.h"
#include "platform/ReplaceParts.h"
#include "platform/Win32.win32.h"

namespace kelvory::platform {
namespace {

using win32::HandleOf;
using win32::LastError;

// Windows 10 1607 and later; the SDK names them only for builds aimed that high.
constexpr auto FileRenameInfoExClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD RenameReplaceIfExists = 0x1;
constexpr DWORD RenamePosixSemantics = 0x2;
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

// Gives the open file the name to (a full path), through its handle: the Win32 error,
// or 0. flags is a FILE_RENAME_INFO's ReplaceIfExists for FileRenameInfo, its Flags
// for the Ex class. The system reads the name as CreateFileW reads a path: one past
// MAX_PATH only in the extended form.
DWORD RenameHandle(HANDLE file, const std::string& to, FILE_INFO_BY_HANDLE_CLASS kind, DWORD flags) {
  const std::wstring name = win32::WidePath(to);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  // The Ex class reads a DWORD of flags where the plain one reads a BOOLEAN.
  std::memcpy(info, &flags, sizeof flags);
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.data(), name.size() * sizeof(wchar_t));
  return ::SetFileInformationByHandle(file, kind, info, static_cast<DWORD>(buffer.size())) ? 0 : ::GetLastError();
}

// Errors by which a system or a file system says it has no POSIX-semantics rename.
bool Unsupported(DWORD code) {
  return code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION ||
         code == ERROR_CALL_NOT_IMPLEMENTED;
}

// A rename onto path refused this way met a handle that holds the file, not a rule:
// nothing else forbids replacing a writable file.
bool RefusedByAHolder(DWORD refusal, const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
  return refusal == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// OpenFile, waiting out another program's brief hold on the file.
UniqueFd OpenPatiently(const std::string& path, DWORD access, DWORD share, DWORD disposition, std::error_code& error) {
  UniqueFd fd;
  error = Patiently(
      [&] {
        fd = win32::OpenFile(path, access, share, disposition, 0);
        return fd.Valid() ? std::error_code() : LastError();
      },
      win32::HeldByAnother);
  return fd;
}

// Replaces to, which another handle holds open with delete sharing (the claim that
// keeps other Kelvory processes away), where renames have no POSIX semantics: to is
// moved aside under a new name in its folder, from takes its name, and the old file
// goes once its last holder lets go of it. A reader that shares no deleting keeps it
// in place. Should the program die between the two renames, the old file is kept
// under the aside name ".kelvory-old-…", which no orphan clean-up removes.
std::error_code ReplaceHeldFile(const std::string& from, const std::string& to) {
  const UniqueFd old = win32::OpenFile(to, DELETE | SYNCHRONIZE, AllSharing, OPEN_EXISTING, 0);
  if (!old.Valid()) return LastError();
  std::random_device random;
  std::string aside;
  DWORD failure = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 100 && (failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS); ++attempt) {
    aside = FolderOf(to) + ".kelvory-old-" + std::to_string(random());
    failure = RenameHandle(HandleOf(old.Get()), aside, FileRenameInfo, FALSE);
  }
  if (failure != 0) return win32::ErrorFrom(failure);
  if (!::MoveFileExW(win32::WidePath(from).c_str(), win32::WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
    const std::error_code error = LastError();
    RenameHandle(HandleOf(old.Get()), to, FileRenameInfo, FALSE);
    return error;
  }
  FILE_DISPOSITION_INFO gone{TRUE};
  ::SetFileInformationByHandle(HandleOf(old.Get()), FileDispositionInfo, &gone, sizeof gone);
  return {};
}

// One try of ReplaceSteps::Rename; a failure leaves both names as they were.
std::error_code RenameOnce(const std::string& from, const std::string& to) {
  {
    const UniqueFd file = win32::OpenFile(from, GENERIC_WRITE | DELETE | SYNCHRONIZE, AllSharing, OPEN_EXISTING, 0);
    if (!file.Valid()) return LastError();
    const DWORD failure =
        RenameHandle(HandleOf(file.Get()), to, FileRenameInfoExClass, RenameReplaceIfExists | RenamePosixSemantics);
    if (failure == 0) {
      if (!::FlushFileBuffers(HandleOf(file.Get()))) return LastError();
      return {};
    }
    // A holder that shares no deleting refuses this rename; the way below tells it
    // apart as a sharing violation, which is waited out.
    if (!Unsupported(failure) && !RefusedByAHolder(failure, to)) return win32::ErrorFrom(failure);
  }
  if (::MoveFileExW(win32::WidePath(from).c_str(), win32::WidePath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return {};
  const DWORD refusal = ::GetLastError();
  return RefusedByAHolder(refusal, to) ? ReplaceHeldFile(from, to) : win32::ErrorFrom(refusal);
}

}  // namespace

namespace replace {

Existing Inspect(const std::string& target, std::error_code& error) {
  error.clear();
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(target).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (const DWORD code = ::GetLastError(); code != ERROR_FILE_NOT_FOUND) error = win32::ErrorFrom(code);
    return Existing::None;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Existing::Folder;
  // A read-only file stays as it is, even where its folder would take a new one.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    error = win32::ErrorFrom(ERROR_ACCESS_DENIED);
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
  return ::GetFileAttributesW(win32::WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::error_code WriteInPlace(const std::string& path, std::string_view bytes) {
  std::error_code opened;
  const UniqueFd fd = OpenPatiently(path, GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING, opened);
  if (opened) return opened;
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
  std::error_code error;
  const UniqueFd fd = OpenPatiently(path, GENERIC_WRITE, AllSharing, OPEN_EXISTING, error);
  if (error) return error;
  if (!::FlushFileBuffers(HandleOf(fd.Get()))) return LastError();
  return {};
}

// A plain rename refuses to replace a file that any handle holds open, and the claim
// holds the file until its new version is in place. A POSIX-semantics rename replaces
// it all the same when every holder shares deleting (the claim does, a reader does
// not); the claim's handle then keeps the old file, nameless, until it closes.
// The renamed file is flushed before this returns, which is what the folder's sync
// does elsewhere: on NTFS that commits the rename to the disk. A reader's hold on
// either file is waited out for a while: the build it would throw away is done.
std::error_code ReplaceSteps::Rename(const std::string& from, const std::string& to) {
  return Patiently([&] { return RenameOnce(from, to); }, win32::HeldByAnother);
}

// Windows flushes no folder on request; the rename has done it.
std::error_code ReplaceSteps::SyncFolder(const std::string&) { return {}; }

// Links on Windows are rare and need privileges to make: the path itself is replaced.
std::string ReplaceTarget(const std::string& path) { return path; }

std::error_code CheckReplaceable(const std::string& target) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(target).c_str());
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
