#include "pyramids/FileWorkers.h"

#include <algorithm>

namespace kelvory {

FileWorkers::FileWorkers(int threads, platform::Wakeup& wakeup) : wakeup_(wakeup) {
  try {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Serve(); });
  } catch (...) {
    // The threads already started must end before the object that owns them goes.
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    ready_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    throw;
  }
}

FileWorkers::~FileWorkers() {
  CancelQueued(MakeReason(ReasonCode::Aborted));
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  ready_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::shared_ptr<FileWork> FileWorkers::Submit(std::function<Reason()> task) {
  auto work = std::make_shared<FileWork>();
  work->task_ = std::move(task);
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(work);
  }
  ready_.notify_one();
  return work;
}

void FileWorkers::CancelQueued(const Reason& reason) {
  std::deque<std::shared_ptr<FileWork>> cancelled;
  {
    std::lock_guard lock(mutex_);
    cancelled.swap(queue_);
  }
  for (const auto& work : cancelled) {
    work->failure_ = reason;
    work->cancelled_ = true;
    Finish(*work);
  }
}

void FileWorkers::Cancel(const std::shared_ptr<FileWork>& work, const Reason& reason) {
  {
    std::lock_guard lock(mutex_);
    const auto queued = std::find(queue_.begin(), queue_.end(), work);
    if (queued == queue_.end()) return;
    queue_.erase(queued);
  }
  work->failure_ = reason;
  work->cancelled_ = true;
  Finish(*work);
}

void FileWorkers::Serve() {
  for (;;) {
    std::shared_ptr<FileWork> work;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return closing_ || !queue_.empty(); });
      if (queue_.empty()) return;
      work = std::move(queue_.front());
      queue_.pop_front();
    }
    try {
      work->failure_ = work->task_();
    } catch (const BuildError& e) {
      work->failure_ = e.Why();
    } catch (const std::exception& e) {
      work->failure_ = MakeReason(ReasonCode::Unexpected, {e.what()});
    } catch (...) {
      work->failure_ = MakeReason(ReasonCode::Unexpected);
    }
    Finish(*work);
  }
}

void FileWorkers::Finish(FileWork& work) {
  work.task_ = nullptr;
  work.done_.store(true, std::memory_order_release);
  wakeup_.Signal();
}

}  // namespace kelvory
