#include "platform/Program.h"

#include "platform/Files.h"
#include "platform/Win32.win32.h"

#include <shellapi.h>

namespace kelvory::platform {

std::string ProgramPath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return win32::Narrow(buffer);
    }
    if (buffer.size() > (1u << 16)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string ProgramFolder() {
  const std::string path = ProgramPath();
  if (path.empty()) return {};
  return FolderOf(path);
}

std::string ExecutableName(const std::string& name) { return name + ".exe"; }

std::string DocumentOpenerProgram() { return {}; }

bool HasEnvironmentVariable(const std::string& name) {
  // The size it needs, the terminating zero included: not 0 even for an empty value.
  return ::GetEnvironmentVariableW(win32::Wide(name).c_str(), nullptr, 0) != 0;
}

std::string FindOnPath(const std::string& name) {
  if (name.empty() || name.find_first_of("/\\:") != std::string::npos) return {};
  const DWORD length = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (length == 0) return {};
  std::wstring path(length, L'\0');
  path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), length));
  const std::string folders = win32::Narrow(path);
  // Programs are found by their name with .exe, as the command prompt does.
  const std::string file = name.find('.') == std::string::npos ? name + ".exe" : name;
  for (std::size_t start = 0; start <= folders.size();) {
    std::size_t end = folders.find(';', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    start = end + 1;
    // Only absolute folders: the program found must not depend on where it runs.
    if (folder.size() < 3 || folder[1] != ':' || (folder[2] != '\\' && folder[2] != '/')) continue;
    if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
    if (FileExists(folder + file)) return folder + file;
  }
  return {};
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(win32::Narrow(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace kelvory::platform
