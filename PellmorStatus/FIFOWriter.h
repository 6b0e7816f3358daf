#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "Support/FileDescriptor.h"
#include "Support/SerialQueue.h"
#include "Support/WakeUp.h"

namespace pellmor {

class Syscalls;

// Writes lines to "/to_main.fifo" on the serial queue "pellmor.fifo.write": each line in its own open,
// write, close cycle, in submission order. An open blocks until the main application reads the FIFO, and
// the lines sent meanwhile wait behind it. A line whose open fails is reported and dropped; a reader that
// goes away mid-write costs that line, not the process.
class FIFOWriter {
 public:
  // Lines queued and not yet written at most. While the main application does not read, a peer that keeps
  // asking for answers would otherwise grow the queue without bound; beyond it a new line is dropped, and
  // each run of drops is reported once.
  static constexpr std::size_t maxLinesAwaitingWrite = 4096;

  FIFOWriter(std::string path, Syscalls& syscalls);
  ~FIFOWriter();
  FIFOWriter(const FIFOWriter&) = delete;
  FIFOWriter& operator=(const FIFOWriter&) = delete;

  // Queues one line (without its newline) and returns at once; drops it when the queue is full.
  void send(std::string line);
  // Drops the lines not yet written, ends a write blocked in its open or waiting for room in the pipe
  // without taking a byte out of the FIFO, and joins the queue's thread. Idempotent.
  void stop();

 private:
  void writeToFIFO(const std::string& line);
  void writeLine(const FileDescriptor& fifo, std::string_view framed);
  void releaseBlockedOpen();

  const std::string path_;
  Syscalls& syscalls_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> droppingLines_{false};  // the current run of drops has been reported
  WakeUp wake_;                             // stop() ends a wait for room in the pipe with it
  SerialQueue writeQueue_;                  // last: its thread uses the members above
};

}  // namespace pellmor
