#pragma once

#include <functional>

namespace pellmor::platform {

// The main thread's task queue.
class MainThread {
 public:
  virtual ~MainThread() = default;

  // Callable from any thread; returns at once. Tasks run on the main thread one at a time, in the order
  // they were posted.
  virtual void post(std::function<void()> task) = 0;
};

}  // namespace pellmor::platform
