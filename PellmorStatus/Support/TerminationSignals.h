#pragma once

#include "Support/FileDescriptor.h"

namespace pellmor {

// SIGTERM, SIGINT and SIGHUP end the program. The process entry blocks them before any thread starts, so
// every thread inherits the mask and the event loop alone takes them, through the descriptor below.
void blockTerminationSignals();

// A signalfd that becomes readable when a termination signal is pending. Owns the descriptor.
class TerminationSignals {
 public:
  TerminationSignals();

  int descriptor() const { return descriptor_.get(); }
  // Consumes the pending signals; returns true when at least one was taken.
  bool consume();

 private:
  FileDescriptor descriptor_;
};

}  // namespace pellmor
