#pragma once

#include "Backends/BackendLayer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "Platform/MainThread.h"
#include "Platform/Ticker.h"
#include "Support/FileDescriptor.h"
#include "Support/PostedTasks.h"
#include "Support/WallClockTimerFd.h"

namespace pellmor {

// The main thread's event loop without a display: tasks posted from any thread wake it through an
// eventfd, each wall-clock timer is a timerfd, and it sleeps in poll with no timeout while nothing happens.
class HeadlessEventLoop : public platform::MainThread, public platform::TickerFactory {
 public:
  HeadlessEventLoop();
  ~HeadlessEventLoop() override;
  HeadlessEventLoop(const HeadlessEventLoop&) = delete;
  HeadlessEventLoop& operator=(const HeadlessEventLoop&) = delete;

  void post(std::function<void()> task) override;
  std::unique_ptr<platform::WallClockTimer> makeWallClockTimer(std::function<void()> onFire) override;

  // Sleeps until a task, a timer or the watched descriptor is due, then runs what is due. Returns whether
  // the watched descriptor (-1 for none) became readable; it is left for the caller to read.
  bool waitAndDispatch(int watchedDescriptor);
  // Makes the next waitAndDispatch return at once. Callable from any thread.
  void wake();

 private:
  class Timer;
  struct TimerEntry {
    WallClockTimerFd timer;
    std::shared_ptr<std::function<void()>> onFire;
  };

  using TimerTable = std::map<std::uint64_t, TimerEntry>;

  void runPostedBatch();
  void fireTimer(std::uint64_t id);

  FileDescriptor wakeUp_;
  PostedTasks tasks_;
  // Main thread only. Shared with the timer handles, which may outlive the loop.
  std::shared_ptr<TimerTable> timers_ = std::make_shared<TimerTable>();
  std::uint64_t nextTimerId_ = 1;
};

}  // namespace pellmor
