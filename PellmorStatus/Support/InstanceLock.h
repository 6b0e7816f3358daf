#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include "Support/FileDescriptor.h"

namespace pellmor {

// One companion per shared container: a second would read half of the main application's lines, so that
// each item shows part of what was sent, and would put a second item beside the first. The lock is an
// flock on the container directory itself, held through an open descriptor for the life of the process;
// the kernel drops it when the process ends, however it ends, so nothing is left to clean up.
class InstanceLock {
 public:
  enum class State {
    held,           // this process is the container's companion
    heldElsewhere,  // another companion still held the lock when the patience ran out
    terminated,     // a termination signal arrived while waiting
    unavailable,    // no container, or one that cannot be locked: the channel reports what it finds
  };

  // Waits up to `patience` while another process holds the lock, since a companion being restarted ends
  // within a moment; a pending termination signal ends the wait at once (the signals are blocked, and
  // stay pending for whoever runs next).
  static InstanceLock acquire(const std::optional<std::string>& container,
                              std::chrono::milliseconds patience);

  State state() const { return state_; }

 private:
  InstanceLock(State state, FileDescriptor directory) : state_(state), directory_(std::move(directory)) {}

  State state_;
  FileDescriptor directory_;
};

}  // namespace pellmor
