#include "Support/WakeUp.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>

#include "Support/Syscalls.h"

namespace pellmor {
namespace {

constexpr int fallbackCheckMilliseconds = 100;

}  // namespace

WakeUp::WakeUp() : event_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!event_) std::perror("eventfd");
}

void WakeUp::raise() {
  if (!event_) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(event_.get(), &one, sizeof one);
}

bool WakeUp::waitFor(Syscalls& syscalls, pollfd target, const std::function<bool()>& stillWanted) const {
  std::array<pollfd, 2> watched{target, pollfd{event_.get(), POLLIN, 0}};
  const int timeout = event_ ? -1 : fallbackCheckMilliseconds;
  int ready = 0;
  while (ready == 0 && stillWanted()) {
    ready = retryOnInterrupt([&] { return syscalls.poll(watched.data(), watched.size(), timeout); });
  }
  return ready > 0 && watched[1].revents == 0 && stillWanted();
}

}  // namespace pellmor
