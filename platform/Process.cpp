#include "platform/Process.h"

#include <algorithm>
#include <chrono>

#include "platform/ProcessEnds.h"

namespace kelvory::platform {

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

Process Process::Start(const std::string& program, const std::vector<std::string>& arguments, NativeFd errorFd,
                       std::error_code& error) {
  return Start(program, arguments, errorFd, -1, error);
}

WaitResult Process::Wait(int timeoutMs, std::error_code& error) {
  error.clear();
  if (!Valid()) {
    error = std::make_error_code(std::errc::no_such_process);
    return WaitResult::Failed;
  }
  if (reaped_) return WaitResult::Ended;
  const NativeFd end = pidfd_.Get();
  if (!WaitForEnd({&end, 1}, -1, timeoutMs, error)) return error ? WaitResult::Failed : WaitResult::TimedOut;
  if (TryReap(error)) return WaitResult::Ended;
  return error ? WaitResult::Failed : WaitResult::TimedOut;
}

void Process::Stop(int graceMs) {
  if (!Valid() || reaped_) return;
  Terminate();
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(graceMs);
  std::error_code error;
  // A wait cut short by a signal counts as timed out: the rest of the grace is waited.
  int left = std::max(graceMs, 0);
  while (Wait(left, error) == WaitResult::TimedOut) {
    left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    if (left <= 0) break;
  }
  if (!reaped_) KillAndReap();
}

void Process::Release() {
  if (Valid() && !reaped_) KillAndReap();
  pidfd_.Reset();
  pid_ = -1;
  reaped_ = false;
}

namespace {

bool WaitForAny(std::span<const Process* const> processes, NativeFd wake, int timeoutMs, std::error_code& error) {
  error.clear();
  std::vector<NativeFd> ends;
  ends.reserve(processes.size());
  for (const Process* p : processes) {
    if (p == nullptr || !p->Valid()) continue;
    if (p->Reaped()) return true;
    ends.push_back(p->PollFd());
  }
  return WaitForEnd(ends, wake, timeoutMs, error);
}

}  // namespace

bool WaitAny(std::span<const Process* const> processes, int timeoutMs, std::error_code& error) {
  return WaitForAny(processes, -1, timeoutMs, error);
}

bool WaitAny(std::span<const Process* const> processes, const Wakeup& wakeup, int timeoutMs,
             std::error_code& error) {
  return WaitForAny(processes, wakeup.Valid() ? wakeup.PollFd() : -1, timeoutMs, error);
}

}  // namespace kelvory::platform
