#include "platform/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kelvory::platform {
namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

int OpenPidFd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

// Spawn attributes and file actions as owners, so every early return cleans up.
struct SpawnSetup {
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attributes{};
  bool actionsMade = false;
  bool attributesMade = false;
  ~SpawnSetup() {
    if (actionsMade) posix_spawn_file_actions_destroy(&actions);
    if (attributesMade) posix_spawnattr_destroy(&attributes);
  }
};

void ReapBlocking(pid_t pid, ProcessExit& exit) {
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED) != 0) {
    if (errno != EINTR) return;
  }
  exit.Signaled = info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED;
  exit.Code = info.si_status;
}

}  // namespace

Process::Process(Process&& other) noexcept
    : pid_(other.pid_), pidfd_(std::move(other.pidfd_)), reaped_(other.reaped_), exit_(other.exit_) {
  other.pid_ = -1;
  other.reaped_ = false;
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Release();
    pid_ = other.pid_;
    pidfd_ = std::move(other.pidfd_);
    reaped_ = other.reaped_;
    exit_ = other.exit_;
    other.pid_ = -1;
    other.reaped_ = false;
  }
  return *this;
}

Process::~Process() { Release(); }

Process Process::Start(const std::string& program, const std::vector<std::string>& arguments, int errorFd,
                       std::error_code& error) {
  return Start(program, arguments, errorFd, -1, error);
}

Process Process::Start(const std::string& program, const std::vector<std::string>& arguments, int errorFd,
                       int outputFd, std::error_code& error) {
  error.clear();
  SpawnSetup setup;
  int rc = posix_spawn_file_actions_init(&setup.actions);
  if (rc != 0) {
    error.assign(rc, std::generic_category());
    return {};
  }
  setup.actionsMade = true;
  rc = posix_spawnattr_init(&setup.attributes);
  if (rc != 0) {
    error.assign(rc, std::generic_category());
    return {};
  }
  setup.attributesMade = true;

  if ((rc = posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0)) != 0 ||
      (rc = outputFd < 0 ? posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0)
                         : posix_spawn_file_actions_adddup2(&setup.actions, outputFd, 1)) != 0 ||
      (rc = posix_spawn_file_actions_adddup2(&setup.actions, errorFd, 2)) != 0 ||
      // Not every library the program links opens its descriptors close-on-exec.
      (rc = posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3)) != 0) {
    error.assign(rc, std::generic_category());
    return {};
  }

  // The tool starts with a clean signal state and in a process group of its own, so a
  // Ctrl-C at the terminal reaches only us and we decide how the tool is stopped.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int s : {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGPIPE, SIGCHLD}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setflags(&setup.attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  rc = posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
  if (rc != 0) {
    error.assign(rc, std::generic_category());
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

WaitResult Process::Wait(int timeoutMs, std::error_code& error) {
  error.clear();
  if (!Valid()) {
    error = std::make_error_code(std::errc::no_such_process);
    return WaitResult::Failed;
  }
  if (reaped_) return WaitResult::Ended;
  pollfd entry{pidfd_.Get(), POLLIN, 0};
  const int rc = ::poll(&entry, 1, timeoutMs);
  if (rc < 0) {
    if (errno == EINTR) return WaitResult::TimedOut;
    error = LastError();
    return WaitResult::Failed;
  }
  if (rc == 0) return WaitResult::TimedOut;
  if (TryReap(error)) return WaitResult::Ended;
  return error ? WaitResult::Failed : WaitResult::TimedOut;
}

std::error_code Process::Signal(int signal) {
  if (!Valid() || reaped_) return std::make_error_code(std::errc::no_such_process);
  // Until it is reaped the pid cannot be reused, so signalling by pid is safe.
  if (::kill(pid_, signal) != 0) return LastError();
  return {};
}

void Process::Stop(int graceMs) {
  if (!Valid() || reaped_) return;
  Signal(SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  std::error_code error;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    const WaitResult result = Wait(static_cast<int>(left), error);
    if (result != WaitResult::TimedOut) break;
  }
  if (!reaped_) {
    Signal(SIGKILL);
    ReapBlocking(pid_, exit_);
    reaped_ = true;
  }
}

void Process::Release() {
  if (Valid() && !reaped_) {
    ::kill(pid_, SIGKILL);
    ReapBlocking(pid_, exit_);
  }
  pidfd_.Reset();
  pid_ = -1;
  reaped_ = false;
}

bool WaitAny(std::span<const Process* const> processes, int timeoutMs, std::error_code& error) {
  error.clear();
  std::vector<pollfd> entries;
  entries.reserve(processes.size());
  for (const Process* p : processes) {
    if (p == nullptr || !p->Valid()) continue;
    if (p->Reaped()) return true;
    entries.push_back(pollfd{p->PollFd(), POLLIN, 0});
  }
  if (entries.empty()) return false;
  const int rc = ::poll(entries.data(), entries.size(), timeoutMs);
  if (rc < 0) {
    if (errno != EINTR) error = LastError();
    return false;
  }
  return rc > 0;
}

}  // namespace kelvory::platform
