#include "Backends/Headless/HeadlessEventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "Support/Syscalls.h"

namespace pellmor {
namespace {

// Reads the 8-byte counter of an eventfd or timerfd; false when nothing was pending.
bool drainCounter(int descriptor) {
  std::uint64_t count = 0;
  return retryOnInterrupt([&] { return read(descriptor, &count, sizeof count); }) ==
         static_cast<ssize_t>(sizeof count);
}

timespec toTimespec(std::chrono::milliseconds duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(duration - seconds);
  return timespec{static_cast<time_t>(seconds.count()), static_cast<long>(nanoseconds.count())};
}

FileDescriptor makeRepeatingTimer(std::chrono::milliseconds interval) {
  FileDescriptor timer(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  if (timer.get() < 0) {
    std::perror("timerfd_create");
    return timer;
  }
  const timespec period = toTimespec(interval);
  const itimerspec schedule{.it_interval = period, .it_value = period};
  if (timerfd_settime(timer.get(), 0, &schedule, nullptr) != 0) std::perror("timerfd_settime");
  return timer;
}

}  // namespace

// The handle the ticker's owner holds; dropping it stops the ticker.
class HeadlessEventLoop::RunningTicker : public platform::Ticker {
 public:
  RunningTicker(std::weak_ptr<TickerTable> table, std::uint64_t id) : table_(std::move(table)), id_(id) {}
  ~RunningTicker() override {
    if (auto table = table_.lock()) table->erase(id_);
  }
  RunningTicker(const RunningTicker&) = delete;
  RunningTicker& operator=(const RunningTicker&) = delete;

 private:
  std::weak_ptr<TickerTable> table_;
  std::uint64_t id_;
};

HeadlessEventLoop::HeadlessEventLoop() : wakeUp_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (wakeUp_.get() < 0) std::perror("eventfd");
}

HeadlessEventLoop::~HeadlessEventLoop() = default;

void HeadlessEventLoop::post(std::function<void()> task) {
  {
    const std::lock_guard lock(queueMutex_);
    queue_.push_back(std::move(task));
  }
  wake();
}

void HeadlessEventLoop::wake() {
  const std::uint64_t one = 1;
  retryOnInterrupt([&] { return write(wakeUp_.get(), &one, sizeof one); });
}

std::unique_ptr<platform::Ticker> HeadlessEventLoop::startRepeating(std::chrono::milliseconds interval,
                                                                    std::function<void()> onTick) {
  const std::uint64_t id = nextTickerId_++;
  tickers_->emplace(id, TickerEntry{makeRepeatingTimer(interval),
                                    std::make_shared<std::function<void()>>(std::move(onTick))});
  return std::make_unique<RunningTicker>(tickers_, id);
}

bool HeadlessEventLoop::waitAndDispatch(int watchedDescriptor) {
  std::vector<pollfd> watched{{wakeUp_.get(), POLLIN, 0}, {watchedDescriptor, POLLIN, 0}};
  std::vector<std::uint64_t> tickerIds;
  for (const auto& [id, entry] : *tickers_) {
    watched.push_back({entry.timer.get(), POLLIN, 0});
    tickerIds.push_back(id);
  }
  // No timeout: an idle companion does not wake up.
  if (retryOnInterrupt([&] { return poll(watched.data(), watched.size(), -1); }) < 0) {
    std::perror("poll");
    return false;
  }
  if (watched[0].revents != 0) {
    drainCounter(wakeUp_.get());
    runPostedBatch();
  }
  for (std::size_t index = 0; index < tickerIds.size(); ++index) {
    if (watched[index + 2].revents != 0) fireTicker(tickerIds[index]);
  }
  return watchedDescriptor >= 0 && watched[1].revents != 0;
}

void HeadlessEventLoop::runPostedBatch() {
  // Tasks posted while this batch runs wait for the next round, after the tickers that are due.
  std::deque<std::function<void()>> batch;
  {
    const std::lock_guard lock(queueMutex_);
    batch.swap(queue_);
  }
  for (auto& task : batch)
    task();
}

void HeadlessEventLoop::fireTicker(std::uint64_t id) {
  // An earlier task or tick of this round may have stopped the ticker.
  const auto found = tickers_->find(id);
  if (found == tickers_->end()) return;
  if (!drainCounter(found->second.timer.get())) return;
  // Holds the callback: the tick may stop its own ticker.
  const std::shared_ptr<std::function<void()>> onTick = found->second.onTick;
  (*onTick)();
}

}  // namespace pellmor
