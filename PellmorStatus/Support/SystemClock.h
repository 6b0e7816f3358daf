#pragma once

#include <chrono>

#include "Platform/Clock.h"

namespace pellmor {

// The system's wall clock, read anew on every call.
class SystemClock final : public platform::Clock {
 public:
  double now() const override {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  }
};

}  // namespace pellmor
