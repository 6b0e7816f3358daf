#include "FIFOReader.h"

#include <fcntl.h>
#include <poll.h>

#include <array>
#include <utility>

#include "Support/LineFramer.h"
#include "Support/Output.h"
#include "Support/Syscalls.h"

namespace pellmor {
namespace {

constexpr std::size_t readBufferBytes = 4096;

}  // namespace

FIFOReader::FIFOReader(std::string path, Syscalls& syscalls, LineHandler onLine)
    : path_(std::move(path)), syscalls_(syscalls), onLine_(std::move(onLine)) {
  readThread_ = std::thread([this, first = openFifo(syscalls_, path_, O_RDONLY | O_NONBLOCK)]() mutable {
    readLoop(std::move(first));
  });
}

FIFOReader::~FIFOReader() {
  stop();
}

void FIFOReader::stop() {
  isReading_ = false;
  wake_.raise();
  if (readThread_.joinable()) readThread_.join();
}

void FIFOReader::readLoop(FileDescriptor fifo) {
  if (!fifo) {
    printLine("Failed to open FIFO for reading");
    return;
  }
  LineFramer framer;
  std::array<char, readBufferBytes> buffer{};
  const auto stillReading = [this] { return isReading_.load(); };
  while (wake_.waitFor(syscalls_, pollfd{fifo.get(), POLLIN, 0}, stillReading)) {
    const ssize_t count =
        retryOnInterrupt([&] { return syscalls_.read(fifo.get(), buffer.data(), buffer.size()); });
    if (count > 0) {
      framer.push(std::string_view(buffer.data(), static_cast<std::size_t>(count)), onLine_);
    } else if (count == 0) {
      // Every writer has gone. The next descriptor is opened before this one closes, and it does not
      // report the old hang-up, so the wait that follows does not spin.
      FileDescriptor next = openFifo(syscalls_, path_, O_RDONLY | O_NONBLOCK);
      if (!next) {
        printLine("Failed to open FIFO for reading");
        return;
      }
      fifo = std::move(next);
      framer.reset();  // an unterminated fragment does not survive its connection
      buffer.fill(0);
    } else if (errno != EAGAIN) {
      isReading_ = false;  // read error: the reader ends for good, silently
      return;
    }
  }
}

}  // namespace pellmor
