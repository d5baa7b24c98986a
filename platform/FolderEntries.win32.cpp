#include "platform/FolderEntries.h"

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Win32.win32.h"

namespace kelvory::platform {

namespace {

FolderEntry::Kind KindOf(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FolderEntry::Kind::Folder
         : (attributes & FILE_ATTRIBUTE_DEVICE) != 0  ? FolderEntry::Kind::Other
                                                      : FolderEntry::Kind::File;
}

// Calls found(name, attributes) for each entry of folder but "." and "..".
template <typename Found>
void EachEntry(const std::string& folder, std::error_code& error, Found found) {
  error.clear();
  WIN32_FIND_DATAW data{};
  const HANDLE search = ::FindFirstFileExW(win32::WidePath(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    error = win32::LastError();
    return;
  }
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") found(win32::Narrow(name), data.dwFileAttributes);
  } while (::FindNextFileW(search, &data));
  if (::GetLastError() != ERROR_NO_MORE_FILES) error = win32::LastError();
  ::FindClose(search);
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::string& folder, std::error_code& error) {
  std::vector<FolderEntry> entries;
  EachEntry(folder, error, [&](std::string name, DWORD attributes) {
    FolderEntry entry;
    entry.name = std::move(name);
    entry.kind = KindOf(attributes);
    // A link counts as what it leads to.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      const DWORD target = ::GetFileAttributesW(win32::WidePath(JoinPath(folder, entry.name)).c_str());
      if (target == INVALID_FILE_ATTRIBUTES) {
        const std::error_code why = win32::LastError();
        entry.kind = FolderEntry::Kind::Other;
        if (why != std::errc::no_such_file_or_directory) entry.error = why;
      } else {
        entry.kind = KindOf(target);
      }
    }
    entries.push_back(std::move(entry));
  });
  return entries;
}

std::vector<std::string> ListNames(const std::string& folder, std::error_code& error) {
  std::vector<std::string> names;
  EachEntry(folder, error, [&](std::string name, DWORD) { names.push_back(std::move(name)); });
  return names;
}

std::error_code MakeFolders(const std::string& path) {
  if (FolderExists(path)) return {};
  std::string folder = path;
  while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
  // Up to the drive's root, the share or a relative path's first name.
  const std::string parent = FolderOf(folder);
  if (parent.size() < folder.size() && parent != "./" && !FolderExists(parent)) {
    if (auto error = MakeFolders(parent)) return error;
  }
  if (::CreateDirectoryW(win32::WidePath(folder).c_str(), nullptr)) return {};
  const std::error_code error = win32::LastError();
  return FolderExists(folder) ? std::error_code() : error;
}

std::error_code RemoveFolder(const std::string& path) {
  if (::RemoveDirectoryW(win32::WidePath(path).c_str())) return {};
  return win32::LastError();
}

std::error_code RemoveTree(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const std::error_code error = win32::LastError();
    return error == std::errc::no_such_file_or_directory ? std::error_code() : error;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFile(path);
  std::error_code first;
  // A link to a folder (a junction) goes without what it leads to.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    for (const std::string& name : ListNames(path, first)) {
      const std::error_code error = RemoveTree(JoinPath(path, name));
      if (!first) first = error;
    }
  }
  const std::error_code error = RemoveFolder(path);
  return first ? first : error;
}

}  // namespace kelvory::platform
