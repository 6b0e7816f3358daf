#include "Support/Syscalls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellmor {

Syscalls& Syscalls::system() {
  // Never destroyed: the channel's reader and writer threads keep calling through it while the process
  // exits, after function-local statics have been destroyed.
  static Syscalls* const real = new Syscalls;
  return *real;
}

int Syscalls::open(const char* path, int flags) {
  return ::open(path, flags);
}
ssize_t Syscalls::read(int fd, void* buffer, size_t count) {
  return ::read(fd, buffer, count);
}
ssize_t Syscalls::write(int fd, const void* buffer, size_t count) {
  return ::write(fd, buffer, count);
}
int Syscalls::poll(pollfd* fds, nfds_t count, int timeoutMilliseconds) {
  return ::poll(fds, count, timeoutMilliseconds);
}
FileDescriptor openFifo(Syscalls& syscalls, const std::string& path, int flags) {
  FileDescriptor fifo(retryOnInterrupt([&] { return syscalls.open(path.c_str(), flags | O_CLOEXEC); }));
  if (fifo && !isFifo(fifo)) fifo.reset();
  return fifo;
}

int Syscalls::mkfifo(const char* path, mode_t mode) {
  return ::mkfifo(path, mode);
}
int Syscalls::fcntl(int fd, int command, int argument) {
  return ::fcntl(fd, command, argument);
}

}  // namespace pellmor
