#include "platform/Process.h"

#include <memory>
#include <span>
#include <vector>

#include "platform/ProcessEnds.h"
#include "platform/Win32.win32.h"

namespace kelvory::platform {
namespace {

using win32::HandleOf;
using win32::LastError;

// Adds one argument to a command line so that the MSVCRT rules (CommandLineToArgvW,
// every MinGW and MSVC program's startup) give it back unchanged: quotes around it
// when it is empty or holds blanks or quotes, a quote escaped with a backslash, and
// the backslashes before a quote (or the closing one) doubled.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!line.empty()) line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  for (auto it = argument.begin();; ++it) {
    std::size_t backslashes = 0;
    while (it != argument.end() && *it == L'\\') {
      ++it;
      ++backslashes;
    }
    if (it == argument.end()) {
      line.append(backslashes * 2, L'\\');
      break;
    }
    if (*it == L'"') {
      line.append(backslashes * 2 + 1, L'\\');
      line += L'"';
    } else {
      line.append(backslashes, L'\\');
      line += *it;
    }
  }
  line += L'"';
}

// The job every tool runs in: it is never closed by hand, so it closes when this
// program ends, however it ends, and the system then ends every tool still in it.
HANDLE ToolJob() {
  static const HANDLE job = [] {
    HANDLE made = ::CreateJobObjectW(nullptr, nullptr);
    if (made == nullptr) return made;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
      ::CloseHandle(made);
      return HANDLE{nullptr};
    }
    return made;
  }();
  return job;
}

// An inheritable copy of handle for the child; the original stays the caller's.
UniqueFd InheritableCopy(HANDLE handle) {
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
    return {};
  return UniqueFd(win32::FdOf(copy));
}

UniqueFd OpenNul(DWORD access) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return UniqueFd(win32::FdOf(::CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                            OPEN_EXISTING, 0, nullptr)));
}

struct AttributeListDeleter {
  void operator()(LPPROC_THREAD_ATTRIBUTE_LIST list) const {
    ::DeleteProcThreadAttributeList(list);
    ::HeapFree(::GetProcessHeap(), 0, list);
  }
};
using AttributeList = std::unique_ptr<std::remove_pointer_t<LPPROC_THREAD_ATTRIBUTE_LIST>, AttributeListDeleter>;

// A list that lets the child inherit exactly handles, and no other inheritable handle
// that another thread may hold at this moment.
AttributeList InheritOnly(HANDLE* handles, std::size_t count) {
  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  auto* list = static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(::HeapAlloc(::GetProcessHeap(), 0, size));
  if (list == nullptr) return nullptr;
  if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) {
    ::HeapFree(::GetProcessHeap(), 0, list);
    return nullptr;
  }
  AttributeList owned(list);
  if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, count * sizeof(HANDLE),
                                   nullptr, nullptr))
    return nullptr;
  return owned;
}

void ReapBlocking(HANDLE process, ProcessExit& exit) {
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  exit.Signaled = false;
  exit.Code = static_cast<int>(code);
}

// The exit code a tool ended by this program gets; Windows has no signals to tell it.
constexpr UINT StoppedExitCode = 1;

}  // namespace

Process Process::Start(const std::string& program, const std::vector<std::string>& arguments, NativeFd errorFd,
                       NativeFd outputFd, std::error_code& error) {
  error.clear();
  // A handle value of -1 is the pseudo-handle of this very process: never hand it on.
  if (errorFd < 0) {
    error = std::make_error_code(std::errc::bad_file_descriptor);
    return {};
  }
  const std::wstring application = win32::Wide(program);
  std::wstring commandLine;
  AppendQuoted(commandLine, application);
  for (const auto& argument : arguments) AppendQuoted(commandLine, win32::Wide(argument));

  UniqueFd input = OpenNul(GENERIC_READ);
  UniqueFd output = outputFd >= 0 ? InheritableCopy(HandleOf(outputFd)) : OpenNul(GENERIC_WRITE);
  UniqueFd errors = InheritableCopy(HandleOf(errorFd));
  if (!input.Valid() || !output.Valid() || !errors.Valid()) {
    error = LastError();
    return {};
  }
  HANDLE inherited[] = {HandleOf(input.Get()), HandleOf(output.Get()), HandleOf(errors.Get())};
  AttributeList attributes = InheritOnly(inherited, std::size(inherited));
  if (!attributes) {
    error = LastError();
    return {};
  }

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = inherited[0];
  startup.StartupInfo.hStdOutput = inherited[1];
  startup.StartupInfo.hStdError = inherited[2];
  startup.lpAttributeList = attributes.get();

  // Suspended until it is in the job: a tool cannot start a child of its own outside it.
  PROCESS_INFORMATION info{};
  const DWORD flags = CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED;
  if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                        &startup.StartupInfo, &info)) {
    error = LastError();
    return {};
  }
  UniqueFd thread(win32::FdOf(info.hThread));
  Process process;
  process.pid_ = static_cast<int>(info.dwProcessId);
  process.pidfd_.Reset(win32::FdOf(info.hProcess));
  const HANDLE job = ToolJob();
  if (job == nullptr || !::AssignProcessToJobObject(job, info.hProcess)) {
    error = LastError();
    if (!error) error = std::make_error_code(std::errc::operation_not_permitted);
    process.Release();  // a tool that could outlive us is not started
    return {};
  }
  ::ResumeThread(info.hThread);
  return process;
}

bool Process::TryReap(std::error_code& error) {
  error.clear();
  if (!Valid()) return false;
  if (reaped_) return true;
  const DWORD rc = ::WaitForSingleObject(HandleOf(pidfd_.Get()), 0);
  if (rc == WAIT_FAILED) {
    error = LastError();
    return false;
  }
  if (rc != WAIT_OBJECT_0) return false;
  ReapBlocking(HandleOf(pidfd_.Get()), exit_);
  reaped_ = true;
  return true;
}

// A console tool without a console takes no polite request to end: both end it at once.
std::error_code Process::Terminate() { return Signal(0); }

std::error_code Process::Kill() { return Signal(0); }

std::error_code Process::Signal(int) {
  if (!Valid() || reaped_) return std::make_error_code(std::errc::no_such_process);
  if (!::TerminateProcess(HandleOf(pidfd_.Get()), StoppedExitCode)) {
    // It may have ended on its own meanwhile: that is no failure.
    if (::WaitForSingleObject(HandleOf(pidfd_.Get()), 0) != WAIT_OBJECT_0) return LastError();
  }
  return {};
}

void Process::KillAndReap() {
  ::TerminateProcess(HandleOf(pidfd_.Get()), StoppedExitCode);
  ReapBlocking(HandleOf(pidfd_.Get()), exit_);
  reaped_ = true;
}

bool WaitForEnd(std::span<const NativeFd> ends, NativeFd wake, int timeoutMs, std::error_code& error) {
  error.clear();
  std::vector<HANDLE> handles;
  handles.reserve(ends.size() + 1);
  for (const NativeFd end : ends) handles.push_back(HandleOf(end));
  if (wake >= 0) handles.push_back(HandleOf(wake));
  if (handles.empty()) return false;
  if (handles.size() > MAXIMUM_WAIT_OBJECTS) {
    error = std::make_error_code(std::errc::invalid_argument);
    return false;
  }
  const DWORD rc = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                            timeoutMs < 0 ? INFINITE : DWORD(timeoutMs));
  if (rc == WAIT_FAILED) {
    error = LastError();
    return false;
  }
  return rc >= WAIT_OBJECT_0 && rc < WAIT_OBJECT_0 + ends.size();
}

}  // namespace kelvory::platform
