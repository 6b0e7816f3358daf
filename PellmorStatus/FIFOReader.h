#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "Support/FileDescriptor.h"
#include "Support/WakeUp.h"

namespace pellmor {

class Syscalls;

// Reads "/from_main.fifo" on a thread of its own and hands every complete line, without its newline, to
// the line handler on that thread, in arrival order. It always holds a descriptor on the FIFO: at end of
// file it opens the next one before closing the old, so a writer that comes and goes in between loses
// nothing. An unterminated fragment is dropped at end of file.
class FIFOReader {
 public:
  using LineHandler = std::function<void(std::string_view line)>;

  // Opens the first descriptor before the thread starts, so the FIFO has a reader from the moment the
  // constructor returns and a main application that opens it without blocking finds the companion.
  FIFOReader(std::string path, Syscalls& syscalls, LineHandler onLine);
  ~FIFOReader();
  FIFOReader(const FIFOReader&) = delete;
  FIFOReader& operator=(const FIFOReader&) = delete;

  // Ends the reader wherever it waits, and joins its thread. Idempotent.
  void stop();

 private:
  void readLoop(FileDescriptor fifo);

  const std::string path_;
  Syscalls& syscalls_;
  const LineHandler onLine_;
  // True until a read error or stop(); the loop checks it before each read. A failed open ends the reader
  // with "Failed to open FIFO for reading" and leaves the flag as it was.
  std::atomic<bool> isReading_{true};
  WakeUp wake_;  // stop() ends the reader's wait with it
  std::thread readThread_;
};

}  // namespace pellmor
