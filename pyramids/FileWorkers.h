#pragma once
// Copies and replaces of whole files, run beside the tools on threads of their own, so
// that the runner collects a tool the moment it ends and starts the next one while a
// copy is under way. The tasks touch only files: everything the build tells its host
// stays on the runner's thread.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Wakeup.h"
#include "pyramids/Reason.h"

namespace kelvory {

// One task's outcome, read by the runner once Done() is true.
class FileWork {
 public:
  bool Done() const { return done_.load(std::memory_order_acquire); }
  // Why the task failed, or none; also set when it was cancelled before it ran.
  const Reason& Failure() const { return failure_; }
  bool Cancelled() const { return cancelled_; }

 private:
  friend class FileWorkers;
  std::function<Reason()> task_;
  Reason failure_;
  bool cancelled_ = false;
  std::atomic<bool> done_{false};
};

class FileWorkers {
 public:
  // wakeup is signalled whenever a task is done; it must outlive the workers.
  FileWorkers(int threads, platform::Wakeup& wakeup);
  FileWorkers(const FileWorkers&) = delete;
  FileWorkers& operator=(const FileWorkers&) = delete;
  // Cancels what has not started and waits for what has.
  ~FileWorkers();

  // task returns why it failed, or none; an exception it raises is its failure.
  std::shared_ptr<FileWork> Submit(std::function<Reason()> task);
  // Tasks not yet started end at once as cancelled with this reason.
  void CancelQueued(const Reason& reason);
  // The same for one task; a task already under way runs to its end.
  void Cancel(const std::shared_ptr<FileWork>& work, const Reason& reason);

 private:
  void Serve();
  void Finish(FileWork& work);

  platform::Wakeup& wakeup_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::shared_ptr<FileWork>> queue_;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace kelvory
