#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

namespace pellmor {

// A serial work queue: one worker thread runs the submitted tasks one at a time, in submission order.
class SerialQueue {
 public:
  using Task = std::function<void()>;

  // `workerSetup`, when given, runs first on the worker thread (for example to set its signal mask).
  explicit SerialQueue(std::string label, Task workerSetup = {});
  // Stops the queue (see stop()).
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  // Queues a task and returns at once; false, and the task dropped, when `limit` tasks already wait or run.
  // Ignored once the queue is stopping.
  bool async(Task task, std::size_t limit = std::numeric_limits<std::size_t>::max());
  // Drops the tasks not yet started; the running task, if any, continues.
  void cancelPending();
  // Waits up to `timeout` until no task runs or waits; true when idle.
  bool waitUntilIdle(std::chrono::milliseconds timeout);
  // Drops the pending tasks, lets the running one finish and joins the worker. Idempotent.
  void stop();

 private:
  void runWorker(const Task& workerSetup);
  bool isIdleLocked() const { return tasks_.empty() && !running_; }

  std::string label_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Task> tasks_;
  bool running_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace pellmor
