#include "platform/StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/UniqueFd.h"

namespace kelvory::platform {

std::vector<StopRequest> StopRequests() { return {StopRequest::Interrupt, StopRequest::Terminate, StopRequest::HangUp}; }

namespace {

// Lock-free atomics: the only state a signal handler may touch.
std::atomic<bool> stopRequested{false};
std::atomic<int> wakeFd{-1};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int) {
  const int savedErrno = errno;
  stopRequested.store(true);
  const int fd = wakeFd.load();
  if (fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);  // a full pipe is already awake
  }
  errno = savedErrno;
}

}  // namespace

struct StopSignals::Handling {
  UniqueFd wakeRead;
  UniqueFd wakeWrite;
  std::vector<std::pair<int, struct sigaction>> previous;
};

StopSignals::StopSignals(bool withInterrupt) : handling_(std::make_unique<Handling>()) {
  stopRequested.store(false);
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  handling_->wakeRead.Reset(ends[0]);
  handling_->wakeWrite.Reset(ends[1]);
  wakeFd.store(ends[1]);

  std::vector<int> signals{SIGTERM, SIGHUP};
  if (withInterrupt) signals.push_back(SIGINT);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : signals) sigaddset(&action.sa_mask, signal);
  // Waits in poll still return early with EINTR; other calls are simply resumed.
  action.sa_flags = SA_RESTART;
  for (const int signal : signals) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    if (::sigaction(signal, &action, nullptr) == 0) handling_->previous.emplace_back(signal, old);
  }
}

StopSignals::~StopSignals() {
  for (const auto& [signal, old] : handling_->previous) ::sigaction(signal, &old, nullptr);
  wakeFd.store(-1);
}

bool StopSignals::Requested() const { return stopRequested.load(); }

NativeFd StopSignals::WakeFd() const { return handling_->wakeRead.Get(); }

void StopSignals::Drain() const {
  char bytes[64];
  while (handling_->wakeRead.Valid() && ::read(handling_->wakeRead.Get(), bytes, sizeof bytes) > 0) {
  }
}

}  // namespace kelvory::platform
