#include "Support/BrokenPipe.h"

#include <pthread.h>
#include <signal.h>

#include <ctime>

namespace pellmor {
namespace {

sigset_t brokenPipeSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

}  // namespace

void blockBrokenPipeSignal() {
  const sigset_t set = brokenPipeSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void discardPendingBrokenPipeSignal() {
  const sigset_t set = brokenPipeSet();
  const timespec noWait{0, 0};
  while (sigtimedwait(&set, nullptr, &noWait) == SIGPIPE) {
  }
}

}  // namespace pellmor
