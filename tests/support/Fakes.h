#pragma once

// The platform's clock, tickers, main thread and screens as the tests drive them (the headless backend
// stands in for the status bar), and the patience of every wait in the tests.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Platform/Clock.h"
#include "Platform/MainThread.h"
#include "Platform/Screens.h"
#include "Platform/Ticker.h"

namespace pellmor::testing {

// How long a test waits for a state before it fails: generous, and multiplied by PELLMOR_TEST_TIME_SCALE,
// which the sanitizer builds set. A slow machine makes a test slower, never red.
inline double timeScale() {
  const char* scale = std::getenv("PELLMOR_TEST_TIME_SCALE");
  return std::max(1.0, scale != nullptr ? std::atof(scale) : 1.0);
}
inline std::chrono::milliseconds patience(double seconds = 30) {
  return std::chrono::milliseconds(static_cast<long>(seconds * 1000 * timeScale()));
}

// Screens of fixed frames, in global coordinates; the first holds the origin.
class FakeScreens final : public platform::Screens {
 public:
  explicit FakeScreens(std::vector<platform::Rect> screens = {}) : screens_(std::move(screens)) {}
  std::vector<platform::Rect> screens() const override { return screens_; }

 private:
  std::vector<platform::Rect> screens_;
};

// A wall clock that moves only when the test moves it.
class FakeClock : public platform::Clock {
 public:
  explicit FakeClock(double now = 0) : now_(now) {}
  double now() const override { return now_; }

 private:
  const double now_;
};

// Tickers that fire only when the test says so. A handle's destruction stops its ticker.
class FakeTickerFactory : public platform::TickerFactory {
 public:
  std::unique_ptr<platform::Ticker> startRepeating(std::chrono::milliseconds,
                                                   std::function<void()> onTick) override {
    auto handle = std::make_unique<Handle>(std::make_shared<std::function<void()>>(std::move(onTick)));
    tickers_.push_back(handle->onTick);
    return handle;
  }

  // One tick of every running ticker, in the order they were started.
  void tick() {
    for (const auto& ticker : std::vector(tickers_))  // a copy: a ticker may start or stop others
      if (const auto onTick = ticker.lock()) (*onTick)();
  }
  std::size_t runningCount() const {
    return static_cast<std::size_t>(std::count_if(tickers_.begin(), tickers_.end(),
                                                  [](const auto& ticker) { return !ticker.expired(); }));
  }

 private:
  struct Handle : platform::Ticker {
    explicit Handle(std::shared_ptr<std::function<void()>> onTick) : onTick(std::move(onTick)) {}
    std::shared_ptr<std::function<void()>> onTick;
  };
  std::vector<std::weak_ptr<std::function<void()>>> tickers_;
};

// The main thread's queue: any thread may post; the test thread runs the tasks when it drains.
class ManualMainThread final : public platform::MainThread {
 public:
  void post(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    mostQueued_ = std::max(mostQueued_, tasks_.size());
    posted_.notify_all();
  }

  // Runs every queued task, including those posted meanwhile. Returns how many ran.
  int drain() {
    int ran = 0;
    for (auto task = takeTask(); task; task = takeTask(), ++ran)
      task();
    return ran;
  }

  // Drains until `done` holds or the patience runs out; the predicate is also checked every few
  // milliseconds, for conditions that no posted task signals.
  template <typename Predicate>
  bool waitFor(Predicate done, std::chrono::milliseconds timeout = patience()) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      drain();
      if (done()) return true;
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return false;
      std::unique_lock lock(mutex_);
      posted_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(5)),
                         [this] { return !tasks_.empty(); });
    }
  }

  std::size_t queued() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }
  // The longest the queue has been.
  std::size_t mostQueued() const {
    std::lock_guard lock(mutex_);
    return mostQueued_;
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
  std::size_t mostQueued_ = 0;
};

}  // namespace pellmor::testing
