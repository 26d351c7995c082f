// A stand-in for the GUI thread's queue: painters post to it from their threads and the test's own
// thread runs what they posted when it pumps.
#pragma once

#include "gif/painter/painter.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace giftest {

class QueueDispatcher : public gif::TGIFDispatcher {
public:
  // bound: how long PumpUntil waits for its condition unless the call names its own bound.
  explicit QueueDispatcher(std::chrono::milliseconds bound = std::chrono::seconds(5)) : bound_(bound) {}

  void Post(std::function<void()> task) override {
    std::lock_guard guard(lock_);
    queue_.push_back(std::move(task));
    ready_.notify_all();
  }

  // Runs posted tasks until done() holds; false when the bound passes first.
  bool PumpUntil(const std::function<bool()>& done) { return PumpUntil(done, bound_); }
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::function<void()> task;
      {
        std::unique_lock lock(lock_);
        ready_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !queue_.empty(); });
        if (queue_.empty()) continue;
        task = std::move(queue_.front());
        queue_.pop_front();
      }
      task();
    }
    return true;
  }

private:
  const std::chrono::milliseconds bound_;
  std::mutex lock_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace giftest
