#pragma once
// A started tool process, owned the way a descriptor is: move-only, and never left
// running or unreaped when its owner goes away.
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "platform/UniqueFd.h"
#include "platform/Wakeup.h"

namespace kelvory::platform {

// How a process ended.
struct ProcessExit {
  bool Signaled = false;  // killed by a signal rather than exiting
  int Code = 0;           // the exit status, or the signal number
  bool Success() const { return !Signaled && Code == 0; }
};

enum class WaitResult { Ended, TimedOut, Failed };

class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  // A process still running is killed and reaped: none outlives its owner unwaited.
  ~Process();

  // Starts program (an absolute path) with arguments (argv[1] on; argv[0] is the
  // program path), standard input from /dev/null, standard output discarded and
  // standard error written to the open descriptor errorFd, which the caller keeps.
  // Never through a shell. The process ends when the thread that started it ends,
  // however this program ends: start processes from a thread that lives as long as
  // their owner.
  static Process Start(const std::string& program, const std::vector<std::string>& arguments, NativeFd errorFd,
                       std::error_code& error);
  // The same, with standard output written to outputFd (kept by the caller) instead of
  // discarded; -1 discards it. A file there, rather than a pipe, never blocks the tool.
  static Process Start(const std::string& program, const std::vector<std::string>& arguments, NativeFd errorFd,
                       NativeFd outputFd, std::error_code& error);

  bool Valid() const { return pid_ > 0; }
  // True once the process has ended and been reaped.
  bool Reaped() const { return reaped_; }
  int Pid() const { return pid_; }
  // A descriptor that polls readable once the process has ended.
  NativeFd PollFd() const { return pidfd_.Get(); }

  // Waits at most timeoutMs for the end of the process and reaps it. An interrupted
  // wait counts as timed out.
  WaitResult Wait(int timeoutMs, std::error_code& error);
  // Reaps the process if it has already ended, without waiting.
  bool TryReap(std::error_code& error);
  const ProcessExit& Exit() const { return exit_; }

  // Asks the process to end; it may clean up first.
  std::error_code Terminate();
  // Ends the process at once.
  std::error_code Kill();
  // Terminate, then Kill when it has not ended within graceMs; always reaps.
  void Stop(int graceMs);
  // Closes the handle of a reaped process; a running one is killed and reaped first.
  void Release();

 private:
  std::error_code Signal(int signal);
  // Ends the running process at once and reaps it.
  void KillAndReap();

  int pid_ = -1;
  UniqueFd pidfd_;
  bool reaped_ = false;
  ProcessExit exit_;
};

// Waits at most timeoutMs until any of the processes has ended. Returns true when one
// has (it is not reaped here), false on time-out or interruption. Processes that are
// not valid or already reaped are ignored.
bool WaitAny(std::span<const Process* const> processes, int timeoutMs, std::error_code& error);
// The same, also ending early once wakeup is signalled (then it returns false).
bool WaitAny(std::span<const Process* const> processes, const Wakeup& wakeup, int timeoutMs,
             std::error_code& error);

}  // namespace kelvory::platform
