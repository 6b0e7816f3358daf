#pragma once

// The channel's surroundings: temporary directories, a channel over real FIFOs in one, the main
// application's ends of both FIFOs, and the system calls as recorded.

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <thread>

#include "FIFOManager.h"
#include "Support/FileDescriptor.h"
#include "Support/Syscalls.h"
#include "support/Fakes.h"

namespace pellmor::testing {

// A fresh private directory, removed with everything in it.
class TempDirectory {
 public:
  TempDirectory() : path_((std::filesystem::temp_directory_path() / "pellmor-test-XXXXXX").string()) {
    if (::mkdtemp(path_.data()) == nullptr) std::abort();
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Sets XDG_RUNTIME_DIR (or unsets it, for null) and puts the old value back.
class ScopedRuntimeDirectory {
 public:
  explicit ScopedRuntimeDirectory(const char* value) {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old;
    set(value);
  }
  ~ScopedRuntimeDirectory() { set(old_ ? old_->c_str() : nullptr); }

 private:
  static void set(const char* value) {
    value != nullptr ? ::setenv("XDG_RUNTIME_DIR", value, 1) : ::unsetenv("XDG_RUNTIME_DIR");
  }
  std::optional<std::string> old_;
};

inline FIFOManager::Environment environmentFor(const std::string& container, platform::MainThread& mainThread,
                                               std::function<std::optional<PositionRecord>()> position = {},
                                               Syscalls* syscalls = nullptr) {
  FIFOManager::Environment environment;
  environment.containerLookup = [container] { return std::optional<std::string>(container); };
  environment.mainThread = &mainThread;
  environment.menubarPositionInfo =
      position ? std::move(position) : [] { return std::optional<PositionRecord>(); };
  environment.syscalls = syscalls;
  return environment;
}

// A channel over real FIFOs in a temporary container, stopped at the end of the test.
class TempChannel {
 public:
  explicit TempChannel(platform::MainThread& mainThread,
                       std::function<std::optional<PositionRecord>()> position = {},
                       Syscalls* syscalls = nullptr)
      : channel_(environmentFor(container_.path(), mainThread, std::move(position), syscalls)) {}
  ~TempChannel() { channel_.stop(); }

  FIFOManager& fifo() { return channel_; }

 private:
  TempDirectory container_;  // outlives the channel
  FIFOManager channel_;
};

// One open, write, close cycle on a FIFO, as the main application does; the open is retried while no
// reader is there. The calling thread ignores broken pipes (only this thread).
inline bool writeConnection(const std::string& path, std::string_view bytes) {
  sigset_t brokenPipe;
  sigemptyset(&brokenPipe);
  sigaddset(&brokenPipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + patience();
  FileDescriptor fifo;
  while (!(fifo = FileDescriptor(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)))) {
    if (errno != ENXIO || std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::fcntl(fifo.get(), F_SETFL, ::fcntl(fifo.get(), F_GETFL) & ~O_NONBLOCK);
  while (!bytes.empty()) {
    const ssize_t written = ::write(fifo.get(), bytes.data(), bytes.size());
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The main application's end of "/to_main.fifo", held for the whole test. Opened for reading and
// writing, so it never sees end of file while the companion reconnects.
class MainAppReader {
 public:
  explicit MainAppReader(const std::string& toMainPath)
      : fifo_(::open(toMainPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)) {}

  // The next line, without its newline; none once the patience runs out.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout = patience()) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t newline;
    while ((newline = pending_.find('\n')) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
      pollfd readable{fifo_.get(), POLLIN, 0};
      if (::poll(&readable, 1, 10) <= 0) continue;
      char chunk[4096];
      const ssize_t got = ::read(fifo_.get(), chunk, sizeof chunk);
      if (got > 0) pending_.append(chunk, static_cast<std::size_t>(got));
    }
    std::string line = pending_.substr(0, newline);
    pending_.erase(0, newline + 1);
    return line;
  }

  std::vector<std::string> readLines(std::size_t count) {
    std::vector<std::string> lines;
    while (lines.size() < count) {
      auto line = readLine();
      if (!line) break;
      lines.push_back(*line);
    }
    return lines;
  }

 private:
  FileDescriptor fifo_;
  std::string pending_;
};

// The lines that `act` makes the channel send. A marker sent last ends them: the writer keeps the order
// of submission, so nothing sent before the marker comes after it.
inline std::vector<std::string> linesSentBy(FIFOManager& channel, const std::function<void()>& act) {
  MainAppReader reader(channel.toMainPath());
  act();
  channel.sendMessage("end of test");
  std::vector<std::string> lines;
  for (auto line = reader.readLine(); line && *line != "end of test"; line = reader.readLine())
    lines.push_back(*line);
  return lines;
}

// Polls `done` until it holds or the patience runs out, without running the main thread's tasks.
template <typename Predicate>
bool eventually(Predicate done) {
  const auto deadline = std::chrono::steady_clock::now() + patience();
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The real system calls, recorded by name (open with its path). Thread-safe: the reader and the writer
// thread call it at once.
class RecordingSyscalls : public Syscalls {
 public:
  // Holds the reader a moment after each end of file, widening the window in which a writer can come
  // and go before the reader has moved on to its next descriptor.
  std::atomic<std::chrono::microseconds> pauseAtEndOfFile{};

  std::size_t count(std::string_view name, std::string_view match = "") const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::ranges::count_if(calls_, [&](const auto& call) {
      return call.first == name && call.second.find(match) != std::string::npos;
    }));
  }
  bool waitForCount(std::string_view name, std::size_t n, std::string_view match = "") const {
    return eventually([&] { return count(name, match) >= n; });
  }

  int open(const char* path, int flags) override {
    record("open", path);
    return Syscalls::open(path, flags);
  }
  ssize_t read(int fd, void* buffer, size_t count) override {
    const ssize_t result = Syscalls::read(fd, buffer, count);
    record(result > 0 ? "read data" : result == 0 ? "read end" : "read error");
    if (result == 0) std::this_thread::sleep_for(pauseAtEndOfFile.load());
    return result;
  }
  ssize_t write(int fd, const void* buffer, size_t count) override {
    record("write");
    return Syscalls::write(fd, buffer, count);
  }

 private:
  void record(std::string name, std::string detail = "") {
    std::lock_guard lock(mutex_);
    calls_.emplace_back(std::move(name), std::move(detail));
  }

  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> calls_;  // name and detail, in order
};

}  // namespace pellmor::testing
