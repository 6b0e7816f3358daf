#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace pellmor::platform {

// A running repeating timer on the main thread; it stops when this handle is destroyed.
class Ticker {
 public:
  virtual ~Ticker() = default;
};

class TickerFactory {
 public:
  virtual ~TickerFactory() = default;

  // Starts a timer that calls onTick on the main thread every interval, first one interval from now, and
  // keeps firing while menus or mouse tracking run. Call on the main thread.
  virtual std::unique_ptr<Ticker> startRepeating(std::chrono::milliseconds interval,
                                                 std::function<void()> onTick) = 0;
};

}  // namespace pellmor::platform
