#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "Platform/MainThread.h"

namespace pellmor::testing {

// The main thread's queue, run by the test: post() from any thread, drain() on the test's thread.
class FakeMainThread : public platform::MainThread {
 public:
  void post(std::function<void()> task) override {
    {
      const std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    posted_.notify_all();
  }

  // Runs posted tasks, and those they post, until none is left; returns how many ran.
  int drain() {
    int ran = 0;
    while (auto task = takeNext()) {
      task();
      ++ran;
    }
    return ran;
  }

  std::size_t pendingCount() const {
    const std::lock_guard lock(mutex_);
    return tasks_.size();
  }

  // Drains as tasks arrive from other threads until done() holds; false if it did not within the
  // bound (a guard against a hang, not a speed goal).
  bool drainUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
      drain();
      if (done()) return true;
      std::unique_lock lock(mutex_);
      if (!posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) return done();
    }
  }

 private:
  std::function<void()> takeNext() {
    const std::lock_guard lock(mutex_);
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
