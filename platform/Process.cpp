#include "platform/Process.h"

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

}  // namespace kelvory::platform
