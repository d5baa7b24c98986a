#pragma once
#include <memory>
#include <vector>

#include "platform/UniqueFd.h"

namespace kelvory::platform {

// The requests to stop this system's users can make, for help texts to name.
enum class StopRequest { Interrupt, Break, Terminate, HangUp, ConsoleClosed, LogOff };
std::vector<StopRequest> StopRequests();

// Termination and a lost terminal (SIGTERM, SIGHUP) and, where asked, an interrupt
// (Ctrl-C) become a request to stop instead of a sudden death, so that a running build
// can end its tools and remove its working copies. A signal ignored when this is made
// stays ignored: nohup asked for the program to outlive its terminal. One object at a
// time: a signal handler can reach nothing but state of the whole process.
class StopSignals {
 public:
  explicit StopSignals(bool withInterrupt);
  // Gives the signals back the handling they had before.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // True once one of the signals has come; cheap enough to ask between any two steps.
  bool Requested() const;
  // Becomes readable when a signal comes, for an event loop to watch; -1 when it could
  // not be made, and then the signals keep their default handling.
  NativeFd WakeFd() const;
  // Empties what WakeFd has to read.
  void Drain() const;

 private:
  struct Handling;
  std::unique_ptr<Handling> handling_;
};

}  // namespace kelvory::platform
