#pragma once

// The platform's clock, timers, main thread and screens as the tests drive them (the headless backend
// stands in for the status bar), and the patience of every wait in the tests.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
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
  void set(double now) { now_ = now; }

 private:
  double now_;
};

// Wall-clock timers that fire only when the test says so. A handle's destruction stops its timer.
class FakeTickerFactory : public platform::TickerFactory {
 public:
  std::unique_ptr<platform::WallClockTimer> makeWallClockTimer(std::function<void()> onFire) override {
    auto timer = std::make_unique<Timer>(std::move(onFire));
    timers_.push_back(timer->state);
    return timer;
  }

  // Fires every armed timer at once, as if each one's instant had come, in the order they were made.
  void tick() {
    for (const auto& state : live())
      fire(*state);
  }
  // Moves the clock forward to `instant`, firing each timer whose instant comes on the way, at that
  // instant, earliest first.
  void runUntil(FakeClock& clock, double instant) {
    for (auto due = earliestArmed(); due && *due->armedFor <= instant; due = earliestArmed()) {
      clock.set(std::max(clock.now(), *due->armedFor));
      fire(*due);
    }
    clock.set(std::max(clock.now(), instant));
  }
  // Sets the wall clock to `instant`, forward or back, as NTP or the user would: every armed timer fires.
  void setWallClock(FakeClock& clock, double instant) {
    clock.set(instant);
    tick();
  }

  // Timers armed for an instant.
  std::size_t runningCount() const {
    const auto states = live();
    return static_cast<std::size_t>(std::count_if(
        states.begin(), states.end(), [](const auto& state) { return state->armedFor.has_value(); }));
  }
  // How many times a timer fired: the wake-ups a real event loop would have had.
  int firings() const { return firings_; }

 private:
  struct State {
    std::function<void()> onFire;
    std::optional<double> armedFor;
  };
  struct Timer : platform::WallClockTimer {
    explicit Timer(std::function<void()> onFire)
        : state(std::make_shared<State>(State{std::move(onFire), {}})) {}
    void fireAt(double instant) override { state->armedFor = instant; }
    void disarm() override { state->armedFor.reset(); }
    std::shared_ptr<State> state;
  };

  // The timers still alive, in the order they were made; a copy, since a firing may make or stop timers.
  std::vector<std::shared_ptr<State>> live() const {
    std::vector<std::shared_ptr<State>> states;
    for (const auto& timer : timers_)
      if (auto state = timer.lock()) states.push_back(std::move(state));
    return states;
  }
  std::shared_ptr<State> earliestArmed() const {
    std::shared_ptr<State> earliest;
    for (const auto& state : live()) {
      if (state->armedFor && (!earliest || *state->armedFor < *earliest->armedFor)) earliest = state;
    }
    return earliest;
  }
  void fire(State& state) {
    if (!state.armedFor) return;
    state.armedFor.reset();
    ++firings_;
    state.onFire();
  }

  std::vector<std::weak_ptr<State>> timers_;
  int firings_ = 0;
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
