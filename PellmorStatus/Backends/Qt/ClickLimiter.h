#pragma once

#include "Backends/BackendLayer.h"

#include <chrono>
#include <utility>

namespace pellmor::qt {

// Lets a person's clicks through and holds back a flood from a bus client: the clicks wait in the
// channel while the main application is not reading, so they must not pile up without bound.
class ClickLimiter {
 public:
  // `source` names who clicks in the line that says clicks are dropped ("the StatusNotifierItem host").
  explicit ClickLimiter(const char* source) : source_(source) {}
  // `action`, run only for the clicks admitted; the limiter must outlive what it returns.
  template <typename Action>
  auto limited(Action action) {
    return [this, action = std::move(action)](auto... arguments) {
      if (admit(Clock::now())) action(arguments...);
    };
  }

 private:
  using Clock = std::chrono::steady_clock;
  // Whether a click at `now` goes through; prints one line on standard error when dropping begins.
  bool admit(Clock::time_point now);

  const char* source_;
  double tokens_ = burst;
  Clock::time_point refilled_{};
  bool dropping_ = false;
  static constexpr double burst = 20;             // clicks at once
  static constexpr double refillPerSecond = 0.5;  // clicks a second after that
};

}  // namespace pellmor::qt
