#pragma once

namespace pellmor::platform {

// The wall clock.
class Clock {
 public:
  virtual ~Clock() = default;

  // Seconds since 1970-01-01 00:00:00 UTC, with the fraction kept; read anew on every call.
  virtual double now() const = 0;
};

}  // namespace pellmor::platform
