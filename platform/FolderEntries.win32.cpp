#include "platform/FolderEntries.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

namespace {

FolderEntry::Kind KindOf(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FolderEntry::Kind::Folder
         : (attributes & FILE_ATTRIBUTE_DEVICE) != 0  ? FolderEntry::Kind::Other
                                                      : FolderEntry::Kind::File;
}

}  // namespace

std::vector<FolderEntry> ListFolder(const std::string& folder, std::error_code& error) {
  error.clear();
  std::vector<FolderEntry> entries;
  const bool ends = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
  const std::string pattern = folder + (ends ? "*" : "\\*");
  WIN32_FIND_DATAW found{};
  const HANDLE search =
      ::FindFirstFileExW(win32::WidePath(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    error = win32::LastError();
    return entries;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry entry;
    entry.name = win32::Narrow(name);
    entry.kind = KindOf(found.dwFileAttributes);
    // A link counts as what it leads to.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      const std::string path = folder + (ends ? "" : "\\") + entry.name;
      const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES) {
        const std::error_code why = win32::LastError();
        entry.kind = FolderEntry::Kind::Other;
        if (why != std::errc::no_such_file_or_directory) entry.error = why;
      } else {
        entry.kind = KindOf(attributes);
      }
    }
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(search, &found));
  if (::GetLastError() != ERROR_NO_MORE_FILES) error = win32::LastError();
  ::FindClose(search);
  return entries;
}

}  // namespace kelvory::platform
