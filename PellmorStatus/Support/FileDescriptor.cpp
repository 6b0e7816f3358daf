#include "Support/FileDescriptor.h"

#include <sys/stat.h>
#include <unistd.h>

namespace pellmor {

void FileDescriptor::reset(int fd) noexcept {
  // The result of close is not examined and close is never retried: the descriptor is gone either way.
  if (fd_ >= 0 && fd_ != fd) ::close(fd_);
  fd_ = fd;
}

bool isFifo(const FileDescriptor& descriptor) noexcept {
  struct stat status {};
  return descriptor.isOpen() && ::fstat(descriptor.get(), &status) == 0 && S_ISFIFO(status.st_mode);
}

}  // namespace pellmor
