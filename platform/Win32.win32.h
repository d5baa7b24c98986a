#pragma once
// What the Windows sources of the platform layer share: UTF-8 <-> UTF-16 at the W
// calls, Win32 errors as the portable error codes callers compare against, and a
// HANDLE owner. Only platform/*.win32.cpp include this.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// windows.h names these as macros for the A/W functions; the platform layer has
// functions of its own with these names.
#undef CopyFile
#undef DeleteFile

#include <cstdint>
#include <string>
#include <system_error>

#include "platform/UniqueFd.h"

namespace kelvory::platform::win32 {

// Paths are UTF-8 inside the program and UTF-16 at the system's W functions.
std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);
// A path for the W calls: one too long for them is given in the extended form
// ("\\?\C:\...", "\\?\UNC\server\share\..."), which takes any length.
std::wstring WidePath(const std::string& utf8);
// A path the system gave, as users read it: without the extended form's prefix.
std::string ShownPath(const std::wstring& path);
// The path made full against the current folder, with '/', "." and ".." read as the
// system reads them, at any length; empty when the system refuses it.
std::wstring FullPathName(const std::wstring& path);

// Win32 error codes as they are: their message() is Windows' own English text, and the
// common ones are equivalent to errc values, so that callers compare with std::errc
// on every system alike.
const std::error_category& ErrorCategory();
std::error_code ErrorFrom(DWORD code);
inline std::error_code LastError() { return ErrorFrom(::GetLastError()); }

// Windows' text for code in language, without the closing full stop and line break;
// empty when the system keeps no such text in that language.
std::string MessageText(DWORD code, LANGID language);

// True for the refusals that another program's open of a file gives while it shares
// no writing or deleting with others: a reader, a preview, a virus scanner, held for a
// moment.
bool HeldByAnother(const std::error_code& error);

inline HANDLE HandleOf(NativeFd fd) { return reinterpret_cast<HANDLE>(fd); }
inline NativeFd FdOf(HANDLE handle) {
  return handle == nullptr || handle == INVALID_HANDLE_VALUE ? NativeFd{-1} : reinterpret_cast<NativeFd>(handle);
}

// Opens path with CreateFileW; the descriptor is invalid and the last error set on failure.
UniqueFd OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags);

}  // namespace kelvory::platform::win32
