#include "app/StopSignal.h"

#include <QSocketNotifier>

#include <atomic>
#include <utility>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kelvory {
namespace {

// A signal handler reaches nothing but process-wide state, so the flag and the pipe's
// writing end live here; both are lock-free atomics, safe to touch from the handler.
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

StopSignal::StopSignal(QObject* parent) : QObject(parent) {
  stopRequested.store(false);
  int ends[2];
  // Without the pipe the signals keep their default handling: the program still ends.
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
  FWakeRead.Reset(ends[0]);
  FWakeWrite.Reset(ends[1]);
  wakeFd.store(FWakeWrite.Get());
  FNotifier = new QSocketNotifier(FWakeRead.Get(), QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, &StopSignal::Drain);

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGTERM);
  sigaddset(&action.sa_mask, SIGHUP);
  action.sa_flags = SA_RESTART;
  for (auto [signal, old] : {std::pair{SIGTERM, &FOldTerm}, std::pair{SIGHUP, &FOldHangUp}}) {
    // A signal ignored from the start stays ignored: nohup asked for the program to
    // outlive its terminal.
    if (::sigaction(signal, nullptr, old) == 0 && old->sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

StopSignal::~StopSignal() {
  if (!FWakeWrite.Valid()) return;
  ::sigaction(SIGTERM, &FOldTerm, nullptr);
  ::sigaction(SIGHUP, &FOldHangUp, nullptr);
  wakeFd.store(-1);
  delete FNotifier;  // before the descriptor it watches is closed
}

bool StopSignal::Requested() const { return stopRequested.load(); }

void StopSignal::Drain() {
  char bytes[64];
  while (::read(FWakeRead.Get(), bytes, sizeof bytes) > 0) {
  }
  emit Raised();
}

}  // namespace kelvory
