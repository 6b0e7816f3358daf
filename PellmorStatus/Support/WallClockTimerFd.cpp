#include "Support/WallClockTimerFd.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "Support/Syscalls.h"

namespace pellmor {
namespace {

// The kernel counts the instant in 64-bit nanoseconds: up to the year 2262.
constexpr double latestInstant = 9.2e9;

// The first nanosecond at or after `instant`, so the timer never fires before it. A zero time would
// disarm the timer: an instant at or before the epoch becomes its first nanosecond, which is long past.
bool absoluteTime(double instant, timespec& time) {
  if (!(instant < latestInstant)) return false;
  if (!(instant > 0)) {
    time = timespec{0, 1};
    return true;
  }
  double seconds = std::floor(instant);
  double nanoseconds = std::ceil((instant - seconds) * 1e9);
  if (nanoseconds >= 1e9) {
    seconds += 1;
    nanoseconds = 0;
  }
  time = timespec{static_cast<time_t>(seconds), static_cast<long>(nanoseconds)};
  return true;
}

}  // namespace

WallClockTimerFd::WallClockTimerFd()
    : descriptor_(timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC)) {
  if (!descriptor_) std::perror("timerfd_create");
}

void WallClockTimerFd::armAt(double instant) {
  itimerspec schedule{};
  if (!absoluteTime(instant, schedule.it_value)) return disarm();
  if (timerfd_settime(descriptor_.get(), TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &schedule, nullptr) !=
      0)
    std::perror("timerfd_settime");
}

void WallClockTimerFd::disarm() {
  const itimerspec none{};
  timerfd_settime(descriptor_.get(), 0, &none, nullptr);
}

bool WallClockTimerFd::consume() {
  std::uint64_t expirations = 0;
  const ssize_t count =
      retryOnInterrupt([&] { return read(descriptor_.get(), &expirations, sizeof expirations); });
  if (count == static_cast<ssize_t>(sizeof expirations)) return true;  // a one-shot disarms itself
  if (count < 0 && errno == ECANCELED) {
    // The wall clock was set; the kernel keeps the old instant armed, which the owner no longer wants.
    disarm();
    return true;
  }
  return false;
}

}  // namespace pellmor
