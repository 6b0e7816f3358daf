#include "Backends/Headless/HeadlessEventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "Support/Syscalls.h"

namespace pellmor {
namespace {

// Reads the 8-byte counter of an eventfd; false when nothing was pending.
bool drainCounter(int descriptor) {
  std::uint64_t count = 0;
  return retryOnInterrupt([&] { return read(descriptor, &count, sizeof count); }) ==
         static_cast<ssize_t>(sizeof count);
}

}  // namespace

// The handle the timer's owner holds; dropping it stops the timer.
class HeadlessEventLoop::Timer : public platform::WallClockTimer {
 public:
  Timer(std::weak_ptr<TimerTable> table, std::uint64_t id) : table_(std::move(table)), id_(id) {}
  ~Timer() override {
    if (auto table = table_.lock()) table->erase(id_);
  }
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  void fireAt(double instant) override {
    if (WallClockTimerFd* timer = find()) timer->armAt(instant);
  }
  void disarm() override {
    if (WallClockTimerFd* timer = find()) timer->disarm();
  }

 private:
  WallClockTimerFd* find() const {
    const auto table = table_.lock();
    if (!table) return nullptr;
    const auto found = table->find(id_);
    return found == table->end() ? nullptr : &found->second.timer;
  }

  std::weak_ptr<TimerTable> table_;
  std::uint64_t id_;
};

HeadlessEventLoop::HeadlessEventLoop() : wakeUp_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (wakeUp_.get() < 0) std::perror("eventfd");
}

HeadlessEventLoop::~HeadlessEventLoop() = default;

void HeadlessEventLoop::post(std::function<void()> task) {
  tasks_.push(std::move(task));
  wake();
}

void HeadlessEventLoop::wake() {
  const std::uint64_t one = 1;
  retryOnInterrupt([&] { return write(wakeUp_.get(), &one, sizeof one); });
}

std::unique_ptr<platform::WallClockTimer> HeadlessEventLoop::makeWallClockTimer(
    std::function<void()> onFire) {
  const std::uint64_t id = nextTimerId_++;
  timers_->try_emplace(id, TimerEntry{{}, std::make_shared<std::function<void()>>(std::move(onFire))});
  return std::make_unique<Timer>(timers_, id);
}

bool HeadlessEventLoop::waitAndDispatch(int watchedDescriptor) {
  std::vector<pollfd> watched{{wakeUp_.get(), POLLIN, 0}, {watchedDescriptor, POLLIN, 0}};
  std::vector<std::uint64_t> timerIds;
  for (const auto& [id, entry] : *timers_) {
    watched.push_back({entry.timer.descriptor(), POLLIN, 0});
    timerIds.push_back(id);
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
  for (std::size_t index = 0; index < timerIds.size(); ++index) {
    if (watched[index + 2].revents != 0) fireTimer(timerIds[index]);
  }
  return watchedDescriptor >= 0 && watched[1].revents != 0;
}

void HeadlessEventLoop::runPostedBatch() {
  // Tasks posted while this batch runs wait for the next round, after the timers that are due.
  for (auto& task : tasks_.takeAll())
    task();
}

void HeadlessEventLoop::fireTimer(std::uint64_t id) {
  // An earlier task or timer of this round may have stopped or re-armed the timer.
  const auto found = timers_->find(id);
  if (found == timers_->end() || !found->second.timer.consume()) return;
  // Holds the callback: it may stop its own timer.
  const std::shared_ptr<std::function<void()>> onFire = found->second.onFire;
  (*onFire)();
}

}  // namespace pellmor
