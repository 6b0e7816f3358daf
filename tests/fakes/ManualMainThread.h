#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

#include "Platform/MainThread.h"

namespace pellmor::testing {

// The main thread's queue for tests: any thread may post; the test thread runs the tasks when it drains.
class ManualMainThread final : public platform::MainThread {
 public:
  void post(std::function<void()> task) override {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    posted_.notify_all();
  }

  // Runs every queued task, including those posted meanwhile, on the calling thread. Returns how many ran.
  int drain() {
    int ran = 0;
    while (auto task = takeTask()) {
      task();
      ++ran;
    }
    return ran;
  }

  // Drains until `done` holds or `timeout` has passed; returns whether it holds. The predicate is also
  // checked every few milliseconds, for conditions that no posted task signals (a child process exiting).
  template <typename Predicate>
  bool waitFor(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    constexpr auto recheck = std::chrono::milliseconds(5);
    while (true) {
      drain();
      if (done()) return true;
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return false;
      std::unique_lock lock(mutex_);
      posted_.wait_until(lock, std::min(deadline, now + recheck), [this] { return !tasks_.empty(); });
    }
  }

  std::size_t queued() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }

 private:
  std::function<void()> takeTask() {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return nullptr;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
  }

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

}  // namespace pellmor::testing
