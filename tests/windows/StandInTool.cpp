// A stand-in for gdaladdo.exe in the Windows runner tests: each first argument asks
// for one kind of ending, which the real gdaladdo.exe (longpath_win32_tests runs it)
// gives on no request.
//   exit N             ends with exit code N
//   crash              dies of an access violation
//   error TEXT         writes "ERROR 1: TEXT" to standard error and ends with 1
//   arguments FILE ... writes every argument after FILE to FILE, one a line, in UTF-8
//   sleep              waits until it is ended
//   anything else      is taken for a gdaladdo command line: "ERROR 1: ..." on standard
//                      error and exit code 1, and the file named is left as it was; with
//                      KELVORY_STAND_IN_PIDFILE set, it writes its process id there and
//                      waits until it is ended instead
//   start-sleeping TOOL PIDFILE
//                      starts TOOL "sleep" through the platform layer, writes that
//                      process's id to PIDFILE and waits until it is ended
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Process.h"

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 64;
  const std::wstring mode = argv[1];
  if (mode == L"exit" && argc == 3) return std::wcstol(argv[2], nullptr, 10);
  if (mode == L"crash") {
    // No crash dialog or debugger: the tool just dies, as it would in a service.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
  }
  if (mode == L"error" && argc == 3) {
    std::fprintf(stderr, "ERROR 1: %s\n", Utf8(argv[2]).c_str());
    return 1;
  }
  if (mode == L"arguments" && argc >= 3) {
    std::ofstream out(std::filesystem::path(argv[2]), std::ios::binary);
    for (int i = 3; i < argc; ++i) out << Utf8(argv[i]) << '\n';
    return out.good() ? 0 : 65;
  }
  if (mode == L"sleep") {
    ::Sleep(INFINITE);
    return 0;
  }
  if (mode == L"start-sleeping" && argc == 4) {
    std::error_code error;
    const HANDLE nul = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    auto child = kelvory::platform::Process::Start(Utf8(argv[2]), {"sleep"},
                                                   reinterpret_cast<kelvory::platform::NativeFd>(nul), error);
    if (error) return 66;
    std::ofstream(std::filesystem::path(argv[3])) << child.Pid() << '\n';
    ::Sleep(INFINITE);
    return 0;
  }
  if (const wchar_t* pidFile = ::_wgetenv(L"KELVORY_STAND_IN_PIDFILE")) {
    std::ofstream(std::filesystem::path(pidFile)) << ::GetCurrentProcessId() << '\n';
    ::Sleep(INFINITE);
  }
  std::fprintf(stderr, "ERROR 1: the stand-in makes no overviews\n");
  return 1;
}
