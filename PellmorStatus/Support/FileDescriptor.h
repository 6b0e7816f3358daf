#pragma once

#include <utility>

namespace pellmor {

// Owns one descriptor and closes it on destruction. Move-only; a moved-from owner holds -1.
class FileDescriptor {
 public:
  FileDescriptor() noexcept = default;
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { reset(); }

  int get() const noexcept { return fd_; }
  bool isOpen() const noexcept { return fd_ >= 0; }
  explicit operator bool() const noexcept { return isOpen(); }
  // Closes the current descriptor (once, never retried) and takes `fd`.
  void reset(int fd = -1) noexcept;

 private:
  int fd_ = -1;
};

// True when the open descriptor refers to a FIFO.
bool isFifo(const FileDescriptor& descriptor) noexcept;

}  // namespace pellmor
