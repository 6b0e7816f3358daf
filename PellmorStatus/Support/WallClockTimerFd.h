#pragma once

#include "Support/FileDescriptor.h"

namespace pellmor {

// A timerfd on the wall clock (CLOCK_REALTIME, absolute instants) that becomes readable at the armed
// instant and also as soon as the wall clock is set while it is armed (TFD_TIMER_CANCEL_ON_SET): a sleep
// on the monotonic clock would miss an NTP step, a manual change or the jump after resume from suspend.
// The event loops watch its descriptor; one thread only.
class WallClockTimerFd {
 public:
  WallClockTimerFd();

  int descriptor() const { return descriptor_.get(); }
  // Readable at `instant` (seconds since 1970-01-01 UTC), or at once when that is past; replaces the
  // instant armed before. An instant beyond what the kernel takes disarms.
  void armAt(double instant);
  void disarm();
  // Takes what made the descriptor readable and leaves the timer disarmed. True when the instant came or
  // the wall clock was set; false when nothing was pending.
  bool consume();

 private:
  FileDescriptor descriptor_;
};

}  // namespace pellmor
