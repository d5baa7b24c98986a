#pragma once
// A signal from another thread that a wait for processes also ends on.
#include "platform/UniqueFd.h"

namespace kelvory::platform {

class Wakeup {
 public:
  Wakeup();
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;

  bool Valid() const { return fd_.Valid(); }
  // Safe from any thread; wakes a wait that is under way or the next one.
  void Signal();
  // Takes back every signal given so far.
  void Clear();
  // Polls readable while signalled.
  NativeFd PollFd() const { return fd_.Get(); }

 private:
  UniqueFd fd_;
};

}  // namespace kelvory::platform
