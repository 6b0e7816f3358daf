#include "FIFOWriter.h"

#include <fcntl.h>
#include <poll.h>

#include <chrono>
#include <utility>

#include "Support/BrokenPipe.h"
#include "Support/Output.h"
#include "Support/Syscalls.h"

namespace pellmor {
namespace {

// How often stop() looks whether the task it released has finished.
constexpr std::chrono::milliseconds releaseCheckInterval{10};

void makeNonBlocking(Syscalls& syscalls, const FileDescriptor& fifo) {
  const int flags = syscalls.fcntl(fifo.get(), F_GETFL, 0);
  if (flags >= 0) syscalls.fcntl(fifo.get(), F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

FIFOWriter::FIFOWriter(std::string path, Syscalls& syscalls)
    : path_(std::move(path)), syscalls_(syscalls), writeQueue_("pellmor.fifo.write", blockBrokenPipeSignal) {}

FIFOWriter::~FIFOWriter() {
  stop();
}

void FIFOWriter::send(std::string line) {
  if (writeQueue_.async([this, line = std::move(line)] { writeToFIFO(line); }, maxLinesAwaitingWrite)) {
    droppingLines_ = false;
  } else if (!droppingLines_.exchange(true)) {
    printLine("Dropping messages: the main application does not read them");
  }
}

void FIFOWriter::stop() {
  if (stopping_.exchange(true)) return;
  wake_.raise();
  writeQueue_.cancelPending();
  releaseBlockedOpen();
  writeQueue_.stop();
}

// A task may wait in its open for a reader that never comes: a reader of our own lets the open return,
// and the task then sees the stop. It reads nothing, so no byte meant for the main application is lost.
void FIFOWriter::releaseBlockedOpen() {
  if (writeQueue_.waitUntilIdle(std::chrono::milliseconds(0))) return;
  const FileDescriptor releaser = openFifo(syscalls_, path_, O_RDONLY | O_NONBLOCK);
  while (!writeQueue_.waitUntilIdle(releaseCheckInterval)) {
  }
}

void FIFOWriter::writeToFIFO(const std::string& line) {
  if (stopping_) return;
  // Blocks until the main application reads "/to_main.fifo"; later lines wait behind this one.
  const FileDescriptor fifo = openFifo(syscalls_, path_, O_WRONLY);
  if (!fifo) {
    printLine("Failed to open FIFO for writing");
    return;
  }
  if (stopping_) return;  // the reader that released the open is stop()'s own
  writeLine(fifo, line + '\n');
}

// The line goes out in a single write once the pipe has room: it is far below PIPE_BUF, so the pipe takes
// it whole. The descriptor is non-blocking only so that stop() can end the wait for that room.
void FIFOWriter::writeLine(const FileDescriptor& fifo, std::string_view framed) {
  makeNonBlocking(syscalls_, fifo);
  const auto stillWriting = [this] { return !stopping_.load(); };
  while (!framed.empty() && wake_.waitFor(syscalls_, pollfd{fifo.get(), POLLOUT, 0}, stillWriting)) {
    const ssize_t written =
        retryOnInterrupt([&] { return syscalls_.write(fifo.get(), framed.data(), framed.size()); });
    if (written > 0) {
      framed.remove_prefix(static_cast<std::size_t>(written));
    } else if (written < 0 && errno != EAGAIN) {
      if (errno == EPIPE) discardPendingBrokenPipeSignal();
      return;  // not examined further: the line is lost
    }
  }
}

}  // namespace pellmor
