#include "platform/ReplaceFile.h"

#include <algorithm>

#include <random>

#include "platform/Files.h"
#include "platform/Win32.win32.h"

namespace kelvory::platform {
namespace {

using win32::HandleOf;
using win32::LastError;

// Removes the new file unless it has taken the old one's place.
class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() {
    if (!path_.empty()) ::DeleteFileW(win32::Wide(path_).c_str());
  }
  void Set(std::string path) { path_ = std::move(path); }
  const std::string& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

std::error_code WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return LastError();
    bytes.remove_prefix(written);
  }
  return {};
}

std::error_code WriteInPlace(const std::string& path, std::string_view bytes) {
  const UniqueFd fd = win32::OpenFile(path, GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING, 0);
  if (!fd.Valid()) return LastError();
  if (auto error = WriteAll(HandleOf(fd.Get()), bytes)) return error;
  if (!::FlushFileBuffers(HandleOf(fd.Get()))) return LastError();
  return {};
}

// A new file with a unique name in folder, for bytes that will replace a file there.
UniqueFd CreateBeside(const std::string& folder, PendingFile& pending) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = folder + ".kelvory-new-" + std::to_string(random()) + ".tmp";
    UniqueFd fd = win32::OpenFile(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL);
    if (fd.Valid()) {
      pending.Set(std::move(name));
      return fd;
    }
    if (::GetLastError() != ERROR_FILE_EXISTS) return {};
  }
  return {};
}

}  // namespace

std::error_code ReplaceSteps::SyncFile(const std::string& path) {
  const UniqueFd fd = win32::OpenFile(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      OPEN_EXISTING, 0);
  if (!fd.Valid()) return LastError();
  if (!::FlushFileBuffers(HandleOf(fd.Get()))) return LastError();
  return {};
}

std::error_code ReplaceSteps::TakeOverPermissions(const std::string& model, const std::string& path) {
  return CopyPermissions(model, path);
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

ReplaceSteps& SystemReplaceSteps() {
  static ReplaceSteps steps;
  return steps;
}

// Links on Windows are rare and need privileges to make: the path itself is replaced.
std::string ReplaceTarget(const std::string& path) { return path; }

std::error_code CheckReplaceable(const std::string& target) {
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(target).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::make_error_code(std::errc::is_a_directory);
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return std::make_error_code(std::errc::operation_not_supported);
  if (auto error = CheckWritable(target)) return error;
  if (auto error = CheckWritable(FolderOf(target))) return error;
  const UniqueFd fd = win32::OpenFile(target, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, 0);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!fd.Valid() || !::GetFileInformationByHandle(HandleOf(fd.Get()), &info)) return LastError();
  if (info.nNumberOfLinks > 1) return std::make_error_code(std::errc::too_many_links);
  return {};
}

std::error_code Replace(const std::string& staged, const std::string& target, ReplaceSteps& steps) {
  const bool exists = ::GetFileAttributesW(win32::Wide(target).c_str()) != INVALID_FILE_ATTRIBUTES;
  if (exists) {
    if (auto error = steps.TakeOverPermissions(target, staged)) return error;
  }
  if (auto error = steps.SyncFile(staged)) return error;
  if (auto error = steps.Rename(staged, target)) return error;
  return steps.SyncFolder(FolderOf(target));
}

std::error_code ReplaceFileContents(const std::string& path, std::string_view bytes, ReplaceSteps& steps) noexcept try {
  const std::string target = ReplaceTarget(path);
  const DWORD attributes = ::GetFileAttributesW(win32::Wide(target).c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::make_error_code(std::errc::is_a_directory);
    // A read-only file stays as it is, even where its folder would take a new one.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return std::make_error_code(std::errc::permission_denied);
    const UniqueFd fd = win32::OpenFile(target, FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING, 0);
    BY_HANDLE_FILE_INFORMATION info{};
    // A device cannot be renamed over, and a rename would split a file from its
    // other hard links.
    if (!fd.Valid() || !::GetFileInformationByHandle(HandleOf(fd.Get()), &info) || info.nNumberOfLinks > 1)
      return WriteInPlace(target, bytes);
  } else if (const DWORD code = ::GetLastError(); code != ERROR_FILE_NOT_FOUND) {
    return win32::ErrorFrom(code);
  }

  PendingFile pending;
  UniqueFd fd = CreateBeside(FolderOf(target), pending);
  if (!fd.Valid()) {
    // A folder that takes no new file still lets its writable files be written.
    if (exists && ::GetLastError() == ERROR_ACCESS_DENIED) return WriteInPlace(target, bytes);
    return LastError();
  }
  if (auto error = WriteAll(HandleOf(fd.Get()), bytes)) return error;
  fd.Reset();
  if (auto error = Replace(pending.Path(), target, steps)) {
    if (!FileExists(pending.Path())) pending.Keep();
    return error;
  }
  pending.Keep();
  return {};
} catch (const std::exception&) {
  return std::make_error_code(std::errc::not_enough_memory);
}

}  // namespace kelvory::platform
