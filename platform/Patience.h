#pragma once
// Waiting out another program's brief hold on a file. On Windows a reader that shares
// no writing (a "type" loop, a preview, a virus scanner) keeps writers and renames out
// while it reads; giving up at once would throw a finished build away. The loop holds
// no system call of its own, so it is tested on every system. Only the platform layer
// includes this.
#include <chrono>
#include <thread>

namespace kelvory::platform {

struct Patience {
  // Long enough for a scan or a preview, short enough that a file really held open
  // is reported busy without a noticeable stall.
  std::chrono::milliseconds Total{2000};
  std::chrono::milliseconds Pause{50};
};

// Calls attempt until held says its result is not such a hold, or until another pause
// would go past patience's total; the last result. attempt must leave nothing changed
// when it fails, so that it may be called again.
template <class Attempt, class Held>
auto Patiently(Attempt attempt, Held held, Patience patience = {}) {
  const auto deadline = std::chrono::steady_clock::now() + patience.Total;
  for (;;) {
    auto result = attempt();
    if (!held(result) || std::chrono::steady_clock::now() + patience.Pause > deadline) return result;
    std::this_thread::sleep_for(patience.Pause);
  }
}

}  // namespace kelvory::platform
