#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace pellmor {

// Tasks handed to the main thread from any thread, kept in the order they were posted.
class PostedTasks {
 public:
  using Task = std::function<void()>;

  // True when the queue was empty: whoever runs the tasks has to be woken.
  bool push(Task task) {
    const std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    return tasks_.size() == 1;
  }
  std::optional<Task> pop() {
    const std::lock_guard lock(mutex_);
    if (tasks_.empty()) return std::nullopt;
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
  }
  std::deque<Task> takeAll() {
    const std::lock_guard lock(mutex_);
    return std::exchange(tasks_, {});
  }

 private:
  std::mutex mutex_;
  std::deque<Task> tasks_;
};

}  // namespace pellmor
