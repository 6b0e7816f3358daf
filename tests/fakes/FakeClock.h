#pragma once

#include "Platform/Clock.h"

namespace pellmor::testing {

// A wall clock that moves only when the test moves it.
class FakeClock : public platform::Clock {
 public:
  explicit FakeClock(double now = 0) : now_(now) {}

  double now() const override { return now_; }
  void set(double now) { now_ = now; }
  void advance(double seconds) { now_ += seconds; }

 private:
  double now_;
};

}  // namespace pellmor::testing
