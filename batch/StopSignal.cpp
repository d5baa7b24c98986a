#include "batch/StopSignal.h"

#include <signal.h>

#include <csignal>
#include <initializer_list>

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
  // SIGHUP: a closed terminal or a dropped ssh session must not kill the build halfway.
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored from the start stays ignored: nohup, or a background job of a
    // script, asked for the build to outlive the terminal or its Ctrl-C.
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

bool StopSignalled() { return stopSignalled != 0; }

}  // namespace kelvory
