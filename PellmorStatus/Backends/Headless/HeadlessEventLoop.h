#pragma once

#include "Backends/BackendLayer.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "Platform/MainThread.h"
#include "Platform/Ticker.h"
#include "Support/FileDescriptor.h"

namespace pellmor {

// The main thread's event loop without a display: tasks posted from any thread wake it through an
// eventfd, each ticker is a timerfd, and it sleeps in poll with no timeout while nothing happens.
class HeadlessEventLoop : public platform::MainThread, public platform::TickerFactory {
 public:
  HeadlessEventLoop();
  ~HeadlessEventLoop() override;
  HeadlessEventLoop(const HeadlessEventLoop&) = delete;
  HeadlessEventLoop& operator=(const HeadlessEventLoop&) = delete;

  void post(std::function<void()> task) override;
  std::unique_ptr<platform::Ticker> startRepeating(std::chrono::milliseconds interval,
                                                   std::function<void()> onTick) override;

  // Sleeps until a task, a tick or the watched descriptor is due, then runs what is due. Returns whether
  // the watched descriptor (-1 for none) became readable; it is left for the caller to read.
  bool waitAndDispatch(int watchedDescriptor);
  // Makes the next waitAndDispatch return at once. Callable from any thread.
  void wake();

 private:
  class RunningTicker;
  struct TickerEntry {
    FileDescriptor timer;
    std::shared_ptr<std::function<void()>> onTick;
  };

  using TickerTable = std::map<std::uint64_t, TickerEntry>;

  void runPostedBatch();
  void fireTicker(std::uint64_t id);

  FileDescriptor wakeUp_;
  std::mutex queueMutex_;
  std::deque<std::function<void()>> queue_;  // guarded by queueMutex_
  // Main thread only. Shared with the ticker handles, which may outlive the loop.
  std::shared_ptr<TickerTable> tickers_ = std::make_shared<TickerTable>();
  std::uint64_t nextTickerId_ = 1;
};

}  // namespace pellmor
