#include "Support/InstanceLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "Support/TerminationSignals.h"

namespace pellmor {
namespace {

constexpr std::chrono::milliseconds retryInterval{50};

bool lockedByAnother(int error) {
  return error == EWOULDBLOCK || error == EINTR;
}

// Whether a termination signal is pending within `wait`.
bool terminationWithin(const TerminationSignals& termination, std::chrono::milliseconds wait) {
  pollfd signals{termination.descriptor(), POLLIN, 0};
  return ::poll(&signals, 1, static_cast<int>(std::max<long long>(1, wait.count()))) > 0;
}

}  // namespace

InstanceLock InstanceLock::acquire(const std::optional<std::string>& container,
                                   std::chrono::milliseconds patience) {
  if (!container) return InstanceLock(State::unavailable, FileDescriptor());
  FileDescriptor directory(::open(container->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!directory) return InstanceLock(State::unavailable, FileDescriptor());
  const TerminationSignals termination;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (::flock(directory.get(), LOCK_EX | LOCK_NB) != 0) {
    if (!lockedByAnother(errno)) return InstanceLock(State::unavailable, FileDescriptor());
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return InstanceLock(State::heldElsewhere, FileDescriptor());
    if (terminationWithin(termination, std::min(retryInterval, left)))
      return InstanceLock(State::terminated, FileDescriptor());
  }
  return InstanceLock(State::held, std::move(directory));
}

}  // namespace pellmor
