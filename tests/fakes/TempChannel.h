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

// A fresh private directory, removed with everything in it at the end of the test.
class TempDirectory {
 public:
  TempDirectory() : path((std::filesystem::temp_directory_path() / "pellmor-presentation-XXXXXX").string()) {
    if (mkdtemp(path.data()) == nullptr) std::abort();
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  std::string path;
};

// A channel over real FIFOs in a temporary directory, stopped at the end of the test.
class TempChannel {
 public:
  explicit TempChannel(platform::MainThread& mainThread,
                       std::function<std::optional<PositionRecord>()> menubarPositionInfo = {}) {
    FIFOManager::Environment environment;
    environment.containerLookup = [path = directory_.path] { return std::optional<std::string>(path); };
    environment.mainThread = &mainThread;
    environment.menubarPositionInfo =
        menubarPositionInfo ? std::move(menubarPositionInfo) : [] { return std::optional<PositionRecord>(); };
    channel_ = std::make_unique<FIFOManager>(std::move(environment));
  }
  ~TempChannel() { channel_->stop(); }

  FIFOManager& fifo() { return *channel_; }

 private:
  TempDirectory directory_;  // outlives the channel
  std::unique_ptr<FIFOManager> channel_;
};

// The main application's end of "/to_main.fifo": held open for the whole test, so no line is lost
// between the companion's connections.
class OutgoingReader {
 public:
  explicit OutgoingReader(const std::string& toMainPath)
      // Read and write: the descriptor never sees end of file while the companion reconnects.
      : descriptor_(open(toMainPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)) {}

  // The next line, without its newline; none if it does not come within the bound (a guard against a
  // hang, not a speed goal).
  std::optional<std::string> readLine(std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
      if (const auto newline = pending_.find('\n'); newline != std::string::npos) {
        std::string line = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        return line;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd readable{descriptor_.get(), POLLIN, 0};
      if (poll(&readable, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[4096];
      const ssize_t got = read(descriptor_.get(), chunk, sizeof chunk);
      if (got > 0) pending_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  // Every line up to the first one equal to `marker`, which the test sends last: the writer keeps the
  // order of submission, so nothing sent before the marker can come after it.
  std::vector<std::string> readUntil(const std::string& marker) {
    std::vector<std::string> lines;
    for (auto line = readLine(); line && *line != marker; line = readLine())
      lines.push_back(*line);
    return lines;
  }

 private:
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
  for (std::size_t written = 0; written < bytes.size();) {
    const ssize_t result = write(descriptor.get(), bytes.data() + written, bytes.size() - written);
    if (result <= 0) return false;
    written += static_cast<std::size_t>(result);
  }
  return true;
}

}  // namespace pellmor::testing
