#include "Support/TerminationSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace pellmor {
namespace {

sigset_t terminationSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

void blockTerminationSignals() {
  const sigset_t set = terminationSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TerminationSignals::TerminationSignals() {
  const sigset_t set = terminationSet();
  descriptor_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (descriptor_ < 0) std::perror("signalfd");
}

TerminationSignals::~TerminationSignals() {
  if (descriptor_ >= 0) close(descriptor_);
}

bool TerminationSignals::consume() {
  bool taken = false;
  signalfd_siginfo info;
  for (;;) {
    const ssize_t count = read(descriptor_, &info, sizeof info);
    if (count == static_cast<ssize_t>(sizeof info)) {
      taken = true;
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    return taken;
  }
}

}  // namespace pellmor
