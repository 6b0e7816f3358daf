#pragma once

#include <functional>
#include <memory>

namespace pellmor::platform {

// A timer on the main thread; it stops when this handle is destroyed.
class Ticker {
 public:
  virtual ~Ticker() = default;
};

// A timer on the wall clock, armed for one instant at a time. Once armed it calls its callback once: when
// the wall clock reaches the instant, or sooner when the wall clock is set (an NTP step, a manual change,
// resume from suspend), because a total computed from the wall clock may then show another figure. It
// keeps firing while menus or mouse tracking run. Disarmed, it costs no wake-up at all.
class WallClockTimer : public Ticker {
 public:
  // Arms the timer for `instant` (seconds since 1970-01-01 00:00:00 UTC), replacing the instant armed
  // before; an instant already past fires at once.
  virtual void fireAt(double instant) = 0;
  virtual void disarm() = 0;
};

class TickerFactory {
 public:
  virtual ~TickerFactory() = default;

  // A disarmed timer that calls onFire on the main thread. Call on the main thread.
  virtual std::unique_ptr<WallClockTimer> makeWallClockTimer(std::function<void()> onFire) = 0;
};

}  // namespace pellmor::platform
