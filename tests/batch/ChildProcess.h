#pragma once
// Runs a program as a child with its output captured, and never waits without a bound.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace kelvory::test {

struct ChildResult {
  bool exited = false;  // false: killed because the time ran out, or ended by a signal
  int exitCode = -1;
  int signal = 0;
  std::string out;
  std::string err;
};

class ChildProcess {
 public:
  // env: extra NAME=value entries that replace those of this process.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Kills and reaps a child that is still running.
  ~ChildProcess();

  pid_t Pid() const { return pid_; }
  // Stops reading the child's standard output, as a reader that has gone away.
  void CloseOutput();
  // Collects the output until the child ends; kills it when the limit passes first.
  ChildResult Wait(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
};

ChildResult RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                     std::chrono::milliseconds limit = std::chrono::seconds(60));

}  // namespace kelvory::test
