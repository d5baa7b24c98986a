#include "platform/Process.h"

#include <cerrno>
#include <csignal>
#include <span>
#include <vector>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ProcessEnds.h"

extern char** environ;

namespace kelvory::platform {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

int OpenPidFd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// Everything the child needs, made before the fork: between fork and exec the child
// shares our memory (vfork), so it allocates nothing, writes nothing of ours and makes
// only async-signal-safe calls.
struct ChildPlan {
  const char* program;
  char* const* argv;
  int errorFd;
  int outputFd;  // -1: /dev/null
  int reportFd;  // write end of the exec-failure pipe, close-on-exec
  pid_t parent;
};

[[noreturn]] void FailInChild(int reportFd) {
  const int code = errno;
  [[maybe_unused]] const ssize_t n = ::write(reportFd, &code, sizeof code);
  ::_exit(127);
}

void CloseRange(unsigned first, unsigned last) {
  if (::syscall(SYS_close_range, first, last, 0U) == 0) return;
  // Kernels before 5.9: as far as descriptors usually go.
  for (unsigned fd = first; fd <= last && fd < 65536; ++fd) ::close(static_cast<int>(fd));
}

// Runs in the child after the fork, every signal blocked.
[[noreturn]] void BecomeTool(const ChildPlan& plan) {
  // The tool dies with us however we end, also by SIGKILL: none is left working on a
  // copy that nobody will collect. The check covers a parent that died before this.
  if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != plan.parent) FailInChild(plan.reportFd);
  // A process group of its own: a Ctrl-C at the terminal reaches only us, and we
  // decide how the tool is stopped.
  ::setpgid(0, 0);
  for (const int s : {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGPIPE, SIGCHLD}) ::signal(s, SIG_DFL);
  // No handler of ours may run here, in our memory, once the signals are let through.
  for (int s = 1; s < NSIG; ++s) {
    struct sigaction action {};
    if (::sigaction(s, nullptr, &action) != 0 || action.sa_handler == SIG_DFL || action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = SIG_DFL;
    ::sigaction(s, &action, nullptr);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);

  const int input = ::open("/dev/null", O_RDONLY);
  const int output = plan.outputFd >= 0 ? plan.outputFd : ::open("/dev/null", O_WRONLY);
  if (input < 0 || output < 0) FailInChild(plan.reportFd);
  if (::dup2(input, 0) < 0 || ::dup2(output, 1) < 0 || ::dup2(plan.errorFd, 2) < 0) FailInChild(plan.reportFd);
  // Not every library the program links opens its descriptors close-on-exec; the
  // report pipe is, so it closes exactly when the exec succeeds.
  if (plan.reportFd > 3) CloseRange(3, static_cast<unsigned>(plan.reportFd) - 1);
  CloseRange(static_cast<unsigned>(plan.reportFd) + 1, ~0U);
  ::execve(plan.program, plan.argv, environ);
  FailInChild(plan.reportFd);
}

// Starts the child as a vfork, which borrows our memory until its exec: a start then
// costs the same however much a long build holds, where fork copied the page tables
// each time. On a function of its own, so that nothing of the caller's lives across it;
// the child never returns from it.
[[gnu::noinline]] pid_t StartChild(const ChildPlan& plan) {
  const pid_t pid = ::vfork();
  if (pid == 0) BecomeTool(plan);
  return pid;
}

void ReapBlocking(pid_t pid, ProcessExit& exit) {
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED) != 0) {
    if (errno != EINTR) return;
  }
  exit.Signaled = info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED;
  exit.Code = info.si_status;
}

}  // namespace

Process Process::Start(const std::string& program, const std::vector<std::string>& arguments, NativeFd errorFd,
                       NativeFd outputFd, std::error_code& error) {
  error.clear();
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    error = LastError();
    return {};
  }
  UniqueFd reportRead(report[0]);
  UniqueFd reportWrite(report[1]);
  const ChildPlan plan{program.c_str(), argv.data(), errorFd, outputFd, reportWrite.Get(), ::getpid()};
  // Our handlers stay out of the child: every signal waits until it has reset them.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t pid = StartChild(plan);
  const int forkError = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (pid < 0) {
    error.assign(forkError, std::generic_category());
    return {};
  }
  reportWrite.Reset();

  // The pipe closes on a successful exec; otherwise the child wrote why it failed.
  int childError = 0;
  ssize_t got;
  while ((got = ::read(reportRead.Get(), &childError, sizeof childError)) < 0 && errno == EINTR) {
  }
  if (got > 0) {
    ProcessExit ignored;
    ReapBlocking(pid, ignored);
    error.assign(childError != 0 ? childError : ECHILD, std::generic_category());
    return {};
  }

  Process process;
  process.pid_ = pid;
  process.pidfd_.Reset(OpenPidFd(pid));
  if (!process.pidfd_.Valid()) {
    error = LastError();
    process.Release();  // kills and reaps: a process we cannot wait on is not handed out
    return {};
  }
  return process;
}

bool Process::TryReap(std::error_code& error) {
  error.clear();
  if (!Valid()) return false;
  if (reaped_) return true;
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG) != 0) {
    if (errno != EINTR) error = LastError();
    return false;
  }
  if (info.si_pid == 0) return false;
  reaped_ = true;
  exit_.Signaled = info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED;
  exit_.Code = info.si_status;
  return true;
}

std::error_code Process::Terminate() { return Signal(SIGTERM); }

std::error_code Process::Kill() { return Signal(SIGKILL); }

std::error_code Process::Signal(int signal) {
  if (!Valid() || reaped_) return std::make_error_code(std::errc::no_such_process);
  // Until it is reaped the pid cannot be reused, so signalling by pid is safe.
  if (::kill(pid_, signal) != 0) return LastError();
  return {};
}

void Process::KillAndReap() {
  ::kill(pid_, SIGKILL);
  ReapBlocking(pid_, exit_);
  reaped_ = true;
}

bool WaitForEnd(std::span<const NativeFd> ends, NativeFd wake, int timeoutMs, std::error_code& error) {
  error.clear();
  std::vector<pollfd> entries;
  entries.reserve(ends.size() + 1);
  for (const NativeFd end : ends) entries.push_back(pollfd{end, POLLIN, 0});
  if (wake >= 0) entries.push_back(pollfd{wake, POLLIN, 0});
  if (entries.empty()) return false;
  const int rc = ::poll(entries.data(), entries.size(), timeoutMs);
  if (rc < 0) {
    if (errno != EINTR) error = LastError();
    return false;
  }
  for (std::size_t i = 0; i < ends.size(); ++i) {
    if (entries[i].revents != 0) return true;
  }
  return false;
}

}  // namespace kelvory::platform
