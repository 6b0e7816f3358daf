#include "Support/TerminationSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include "Support/Syscalls.h"

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
  descriptor_.reset(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  if (!descriptor_) std::perror("signalfd");
}

bool TerminationSignals::consume() {
  bool taken = false;
  signalfd_siginfo info;
  while (retryOnInterrupt([&] { return read(descriptor_.get(), &info, sizeof info); }) ==
         static_cast<ssize_t>(sizeof info))
    taken = true;
  return taken;
}

}  // namespace pellmor
