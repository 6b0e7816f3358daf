#include "Support/SerialQueue.h"

#include <pthread.h>

#include <utility>

namespace pellmor {
namespace {

// Linux limits thread names to 15 bytes; the label's start is enough to tell the thread in a debugger.
void nameCurrentThread(const std::string& label) {
  constexpr std::size_t maxThreadNameBytes = 15;
  pthread_setname_np(pthread_self(), label.substr(0, maxThreadNameBytes).c_str());
}

}  // namespace

SerialQueue::SerialQueue(std::string label, Task workerSetup) : label_(std::move(label)) {
  worker_ = std::thread([this, setup = std::move(workerSetup)] { runWorker(setup); });
}

SerialQueue::~SerialQueue() {
  stop();
}

bool SerialQueue::async(Task task, std::size_t limit) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return true;
    if (tasks_.size() + (running_ ? 1 : 0) >= limit) return false;
    tasks_.push_back(std::move(task));
  }
  changed_.notify_all();
  return true;
}

void SerialQueue::cancelPending() {
  std::deque<Task> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(tasks_);
  }
  changed_.notify_all();
  // `dropped` is destroyed here, outside the lock, in case a task's captures do work when released.
}

bool SerialQueue::waitUntilIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return isIdleLocked(); });
}

void SerialQueue::stop() {
  std::deque<Task> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropped.swap(tasks_);
  }
  changed_.notify_all();
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

void SerialQueue::runWorker(const Task& workerSetup) {
  nameCurrentThread(label_);
  if (workerSetup) workerSetup();
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty()) return;  // stopping, nothing left
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    running_ = true;
    lock.unlock();
    task();
    task = nullptr;  // release the captures before reporting idle
    lock.lock();
    running_ = false;
    changed_.notify_all();
  }
}

}  // namespace pellmor
