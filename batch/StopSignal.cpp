#include "batch/StopSignal.h"

#include <signal.h>

#include <csignal>

namespace kelvory {
namespace {

volatile std::sig_atomic_t stopSignalled = 0;

void OnStopSignal(int) { stopSignalled = 1; }

}  // namespace

void InstallStopSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait in progress returns early, so the stop is seen at once.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed terminal or a dropped ssh session: the build must not die halfway.
  sigaction(SIGHUP, &action, nullptr);
}

bool StopSignalled() { return stopSignalled != 0; }

}  // namespace kelvory
