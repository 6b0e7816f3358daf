#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FIFOManager.h"
#include "Platform/MainThread.h"
#include "Support/FileDescriptor.h"

namespace pellmor::testing {

// A channel over real FIFOs in a fresh private directory, stopped and removed at the end of the test.
class TempChannel {
 public:
  explicit TempChannel(platform::MainThread& mainThread,
                       std::function<std::optional<PositionRecord>()> menubarPositionInfo = {})
      : directory_(makeDirectory()) {
    FIFOManager::Environment environment;
    environment.containerLookup = [directory = directory_] { return std::optional<std::string>(directory); };
    environment.mainThread = &mainThread;
    environment.menubarPositionInfo =
        menubarPositionInfo ? std::move(menubarPositionInfo) : [] { return std::optional<PositionRecord>(); };
    channel_ = std::make_unique<FIFOManager>(std::move(environment));
  }
  ~TempChannel() {
    channel_->stop();
    channel_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
  TempChannel(const TempChannel&) = delete;
  TempChannel& operator=(const TempChannel&) = delete;

  FIFOManager& fifo() { return *channel_; }
  const std::string& directory() const { return directory_; }

 private:
  static std::string makeDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellmor-presentation-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }

  std::string directory_;
  std::unique_ptr<FIFOManager> channel_;
};

// The main application's end of "/to_main.fifo": held open for the whole test, so no line is lost
// between the companion's connections.
class OutgoingReader {
 public:
  explicit OutgoingReader(const std::string& toMainPath)
      // Read and write: the descriptor never sees end of file while the companion reconnects.
      : descriptor_(open(toMainPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)) {}

  bool isOpen() const { return descriptor_.isOpen(); }

  // The next `count` lines, without their newlines; fewer if they do not come within the bound (a guard
  // against a hang, not a speed goal).
  std::vector<std::string> readLines(std::size_t count,
                                     std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::vector<std::string> lines;
    while (lines.size() < count) {
      if (takeLine(lines)) continue;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd readable{descriptor_.get(), POLLIN, 0};
      if (poll(&readable, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[4096];
      const ssize_t got = read(descriptor_.get(), chunk, sizeof chunk);
      if (got > 0) pending_.append(chunk, static_cast<std::size_t>(got));
    }
    return lines;
  }

  // Every line up to the first one equal to `marker`, which the test sends last: the writer keeps the
  // order of submission, so nothing sent before the marker can come after it.
  std::vector<std::string> readUntil(const std::string& marker) {
    std::vector<std::string> lines;
    for (;;) {
      const std::vector<std::string> next = readLines(1);
      if (next.empty() || next.front() == marker) return lines;
      lines.push_back(next.front());
    }
  }

 private:
  bool takeLine(std::vector<std::string>& lines) {
    const auto newline = pending_.find('\n');
    if (newline == std::string::npos) return false;
    lines.push_back(pending_.substr(0, newline));
    pending_.erase(0, newline + 1);
    return true;
  }

  FileDescriptor descriptor_;
  std::string pending_;
};

// Writes lines into "/from_main.fifo" as the main application does: one connection for all of them.
inline bool writeIncoming(const std::string& fromMainPath, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines)
    bytes += line + '\n';
  FileDescriptor descriptor(open(fromMainPath.c_str(), O_WRONLY | O_CLOEXEC));
  if (!descriptor) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t result = write(descriptor.get(), bytes.data() + written, bytes.size() - written);
    if (result <= 0) return false;
    written += static_cast<std::size_t>(result);
  }
  return true;
}

}  // namespace pellmor::testing
