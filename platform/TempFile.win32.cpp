#include "platform/TempFile.h"

#include <cstdint>
#include <cwctype>
#include <memory>
#include <random>

#include "platform/Win32.win32.h"

namespace kelvory::platform {
namespace {

constexpr std::size_t UniquePart = 6;

bool LooksMade(const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + UniquePart || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) return false;
  }
  return true;
}

// The in-use mark of a file is a named mutex, named after its full path: it holds no
// handle on the file itself, so copies, the tool and the rename into place go on as
// if it were not there, and it vanishes with the last process that holds it.
std::wstring MarkName(const std::string& path) {
  const std::wstring wide = win32::Wide(path);
  std::wstring full = win32::FullPathName(wide);
  if (full.empty()) full = wide;
  // Names are case-insensitive on Windows; FNV-1a over the folded path.
  std::uint64_t hash = 14695981039346656037ULL;
  for (const wchar_t c : full) {
    const wchar_t folded = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    hash = (hash ^ static_cast<std::uint16_t>(folded)) * 1099511628211ULL;
  }
  wchar_t name[64];
  ::swprintf(name, 64, L"Local\\kelvory-temp-%016llx", static_cast<unsigned long long>(hash));
  return name;
}

std::string UniqueChars(std::mt19937_64& random) {
  static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string out;
  for (std::size_t i = 0; i < UniquePart; ++i) out += alphabet[random() % (sizeof alphabet - 1)];
  return out;
}

}  // namespace

TempFile TempFile::Create(const std::string& folder, const std::string& prefix, std::error_code& error) {
  error.clear();
  std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = folder + prefix + UniqueChars(random);
    // The mark first: a file never exists unmarked for another run to take as an orphan.
    UniqueFd mark(win32::FdOf(::CreateMutexW(nullptr, FALSE, MarkName(path).c_str())));
    if (!mark.Valid()) {
      error = win32::LastError();
      return {};
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) continue;
    const UniqueFd file = win32::OpenFile(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (file.Valid()) return TempFile(path, std::move(mark));
    if (::GetLastError() != ERROR_FILE_EXISTS) {
      error = win32::LastError();
      return {};
    }
  }
  error = win32::ErrorFrom(ERROR_FILE_EXISTS);
  return {};
}

int RemoveOrphans(const std::string& folder, const std::string& prefix) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(win32::WidePath(folder + prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    const std::string name = win32::Narrow(found.cFileName);
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        !LooksMade(name, prefix))
      continue;
    const std::string path = folder + name;
    // Its owner still holds the mark: in use.
    const HANDLE mark = ::OpenMutexW(SYNCHRONIZE, FALSE, MarkName(path).c_str());
    if (mark != nullptr) {
      ::CloseHandle(mark);
      continue;
    }
    if (::DeleteFileW(win32::WidePath(path).c_str())) ++removed;
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return removed;
}

}  // namespace kelvory::platform
