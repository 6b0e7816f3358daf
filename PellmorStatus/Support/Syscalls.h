#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cerrno>
#include <string>

#include "Support/FileDescriptor.h"

namespace pellmor {

// The one seam for the system calls of the FIFO transport. The base class makes the real calls; a test
// derives from it and overrides one call to inject EINTR, EPIPE, a failed open or a read error.
class Syscalls {
 public:
  virtual ~Syscalls() = default;

  // The real system calls.
  static Syscalls& system();

  virtual int open(const char* path, int flags);
  virtual ssize_t read(int fd, void* buffer, size_t count);
  virtual ssize_t write(int fd, const void* buffer, size_t count);
  virtual int poll(pollfd* fds, nfds_t count, int timeoutMilliseconds);
  virtual int mkfifo(const char* path, mode_t mode);
  // fcntl with an int argument (F_GETFL, F_SETFL).
  virtual int fcntl(int fd, int command, int argument);
};

// Repeats a call that failed with EINTR. Never use it for close: Linux releases the descriptor even when
// close reports EINTR, so a retry could close a descriptor another thread has just opened.
template <typename Call>
auto retryOnInterrupt(Call call) {
  auto result = call();
  while (result == -1 && errno == EINTR)
    result = call();
  return result;
}

// Opens the FIFO at `path` with `flags` (plus close-on-exec), retrying on EINTR. Only a FIFO will do: a
// regular file would be re-read or appended to forever and a directory never read, so anything else at
// the path gives a closed descriptor, as a failed open does.
FileDescriptor openFifo(Syscalls& syscalls, const std::string& path, int flags);

}  // namespace pellmor
