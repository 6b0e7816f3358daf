#pragma once

#include <poll.h>

#include <functional>

#include "Support/FileDescriptor.h"

namespace pellmor {

class Syscalls;

// Lets one thread end another thread's wait on a descriptor at once (an eventfd).
class WakeUp {
 public:
  WakeUp();
  void raise();

  // Waits until `target` reports one of the requested events; false when woken, when `stillWanted`
  // turns false, or when poll fails. Without an eventfd (none could be made) it looks at `stillWanted`
  // every 100 ms instead.
  bool waitFor(Syscalls& syscalls, pollfd target, const std::function<bool()>& stillWanted) const;

 private:
  FileDescriptor event_;
};

}  // namespace pellmor
