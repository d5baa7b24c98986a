#include "platform/StopSignals.h"

#include <atomic>
#include <vector>

#include "platform/Win32.win32.h"

namespace kelvory::platform {

std::vector<StopRequest> StopRequests() {
  return {StopRequest::Interrupt, StopRequest::Break, StopRequest::ConsoleClosed, StopRequest::LogOff};
}

namespace {

// The console calls its handler on a thread of its own; it can reach nothing but
// state of the whole process.
std::atomic<bool> stopRequested{false};
std::atomic<bool> withInterruptWanted{false};
std::atomic<HANDLE> wakeEvent{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      if (!withInterruptWanted.load()) return FALSE;
      break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  stopRequested.store(true);
  if (const HANDLE wake = wakeEvent.load()) ::SetEvent(wake);
  return TRUE;
}

}  // namespace

struct StopSignals::Handling {
  UniqueFd wake;
  bool installed = false;
};

// Closing the console window, logging off and shutting down (and Ctrl-C or Ctrl-Break
// where asked) become a request to stop. The system gives a closing console a few
// seconds after the handler returns: enough to end the tools, which the job ends
// anyway.
StopSignals::StopSignals(bool withInterrupt) : handling_(std::make_unique<Handling>()) {
  stopRequested.store(false);
  withInterruptWanted.store(withInterrupt);
  handling_->wake.Reset(win32::FdOf(::CreateEventW(nullptr, TRUE, FALSE, nullptr)));
  if (!handling_->wake.Valid()) return;
  wakeEvent.store(win32::HandleOf(handling_->wake.Get()));
  handling_->installed = ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
}

StopSignals::~StopSignals() {
  if (handling_->installed) ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  wakeEvent.store(nullptr);
}

bool StopSignals::Requested() const { return stopRequested.load(); }

NativeFd StopSignals::WakeFd() const { return handling_->wake.Get(); }

void StopSignals::Drain() const {
  if (handling_->wake.Valid()) ::ResetEvent(win32::HandleOf(handling_->wake.Get()));
}

}  // namespace kelvory::platform
