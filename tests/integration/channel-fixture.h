#pragma once

// Shared by the channel tests: a temporary container, channels wired to a manual main thread, and the
// main application's side of both FIFOs.

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "FIFOManager.h"
#include "Support/FileDescriptor.h"
#include "Support/LineFramer.h"
#include "Support/Syscalls.h"
#include "fakes/ManualMainThread.h"

namespace pellmor::testing {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellmor-channel-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline FIFOManager::Environment environmentFor(const std::string& container, platform::MainThread& mainThread,
                                               std::optional<PositionRecord> position = std::nullopt,
                                               Syscalls* syscalls = nullptr) {
  FIFOManager::Environment environment;
  environment.containerLookup = [container] { return std::optional<std::string>(container); };
  environment.mainThread = &mainThread;
  environment.menubarPositionInfo = [position] { return position; };
  environment.syscalls = syscalls;
  return environment;
}

// One open, write, close cycle on a FIFO, as the main application does, with bounded waits: the open is
// retried while no reader is there. `beforeClose` runs after the write. The calling thread ignores broken
// pipes (only this thread).
inline bool writeConnection(const std::string& path, std::string_view bytes,
                            const std::function<void()>& beforeClose = {}) {
  constexpr auto timeout = std::chrono::seconds(10);
  sigset_t brokenPipe;
  sigemptyset(&brokenPipe);
  sigaddset(&brokenPipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
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
  if (beforeClose) beforeClose();
  return true;
}

// The main application's reading end of "/to_main.fifo": opened without blocking and held, reopened after
// each end of file so that it never leaves the FIFO without a reader.
class ToMainReader {
 public:
  explicit ToMainReader(std::string path) : path_(std::move(path)) { reopen(); }

  // Reads until `count` lines have arrived or the timeout passes; returns all lines read so far.
  std::vector<std::string> readLines(std::size_t count,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (lines_.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd watched{fifo_.get(), POLLIN, 0};
      if (::poll(&watched, 1, 10) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fifo_.get(), buffer, sizeof buffer);
      if (n > 0) {
        framer_.push(std::string_view(buffer, static_cast<std::size_t>(n)),
                     [this](std::string_view line) { lines_.emplace_back(line); });
      } else if (n == 0) {
        ++connections_;
        reopen();
      }
    }
    return lines_;
  }

  // Ends of file seen: one per closed writing connection that was noticed.
  int connections() const { return connections_; }
  void close() { fifo_.reset(); }

 private:
  void reopen() {
    FileDescriptor next(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    fifo_ = std::move(next);
  }

  std::string path_;
  FileDescriptor fifo_;
  LineFramer framer_;
  std::vector<std::string> lines_;
  int connections_ = 0;
};

// Notes what a channel's observers would see: the number of change signals, and `timerStartedAt` as read
// during each signal (the old value, since the signal precedes the store).
class ChangeRecorder {
 public:
  explicit ChangeRecorder(FIFOManager& channel)
      : channel_(channel),
        subscription_(
            channel.objectWillChange().subscribe([this] { seen_.push_back(channel_.timerStartedAt()); })) {}

  std::size_t count() const { return seen_.size(); }
  const std::vector<std::optional<double>>& timerStartedAtDuringSignals() const { return seen_; }

 private:
  FIFOManager& channel_;
  std::vector<std::optional<double>> seen_;
  Subscription subscription_;
};

}  // namespace pellmor::testing

namespace pellmor::testing {

// The real system calls, recorded, with one-shot failures to inject. Thread-safe: the reader and the
// writer thread call it at the same time.
class RecordingSyscalls : public Syscalls {
 public:
  struct Call {
    std::string name;
    std::string detail;  // the path of open and mkfifo, the bytes of write, the result of read
    friend bool operator==(const Call&, const Call&) = default;
  };

  // The next `times` calls named `name` (whose detail contains `match`) fail with `error`.
  void failNext(std::string name, int error, int times = 1, std::string match = "") {
    std::lock_guard lock(mutex_);
    failures_.push_back({std::move(name), std::move(match), error, times});
  }

  // Holds the reader a moment after each end of file, widening the window in which a writer can come
  // and go before the reader has moved on to its next descriptor.
  void pauseAtEndOfFile(std::chrono::microseconds pause) { pauseAtEndOfFile_ = pause; }

  std::vector<Call> calls(std::string_view name) const {
    std::lock_guard lock(mutex_);
    std::vector<Call> found;
    for (const Call& call : calls_) {
      if (call.name == name) found.push_back(call);
    }
    return found;
  }

  std::size_t count(std::string_view name, std::string_view match = "") const {
    std::lock_guard lock(mutex_);
    return countLocked(name, match);
  }

  // Waits until at least `n` matching calls were made; false after the timeout.
  bool waitForCount(std::string_view name, std::size_t n, std::string_view match = "",
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
    std::unique_lock lock(mutex_);
    return recorded_.wait_for(lock, timeout, [&] { return countLocked(name, match) >= n; });
  }

  int open(const char* path, int flags) override {
    if (injected("open", path)) return -1;
    return Syscalls::open(path, flags);
  }
  ssize_t read(int fd, void* buffer, size_t count) override {
    if (injected("read", "")) return -1;
    const ssize_t result = Syscalls::read(fd, buffer, count);
    note(result > 0 ? "read data" : result == 0 ? "read end" : "read error", std::to_string(result));
    if (result == 0) std::this_thread::sleep_for(pauseAtEndOfFile_.load());
    return result;
  }
  ssize_t write(int fd, const void* buffer, size_t count) override {
    if (injected("write", std::string(static_cast<const char*>(buffer), count))) return -1;
    return Syscalls::write(fd, buffer, count);
  }
  int poll(pollfd* fds, nfds_t count, int timeoutMilliseconds) override {
    if (injected("poll", "")) return -1;
    return Syscalls::poll(fds, count, timeoutMilliseconds);
  }
  int mkfifo(const char* path, mode_t mode) override {
    if (injected("mkfifo", path)) return -1;
    return Syscalls::mkfifo(path, mode);
  }

 private:
  struct Failure {
    std::string name;
    std::string match;
    int error;
    int times;
  };

  std::size_t countLocked(std::string_view name, std::string_view match) const {
    if (match.empty()) {
      const auto found = totals_.find(std::string(name));
      return found == totals_.end() ? 0 : found->second;
    }
    return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(), [&](const Call& call) {
      return call.name == name && call.detail.find(match) != std::string::npos;
    }));
  }

  void note(std::string name, std::string detail) {
    {
      std::lock_guard lock(mutex_);
      ++totals_[name];
      calls_.push_back({std::move(name), std::move(detail)});
    }
    recorded_.notify_all();
  }

  // Records the call and reports whether it is to fail (errno set).
  bool injected(std::string name, std::string detail) {
    int error = 0;
    {
      std::lock_guard lock(mutex_);
      for (Failure& failure : failures_) {
        if (failure.name == name && failure.times > 0 && detail.find(failure.match) != std::string::npos) {
          --failure.times;
          error = failure.error;
          break;
        }
      }
      ++totals_[name];
      calls_.push_back({std::move(name), std::move(detail)});
    }
    recorded_.notify_all();
    if (error != 0) errno = error;
    return error != 0;
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<Call> calls_;
  std::map<std::string, std::size_t> totals_;  // calls per name, for waits that must stay cheap
  std::vector<Failure> failures_;
  std::atomic<std::chrono::microseconds> pauseAtEndOfFile_{std::chrono::microseconds(0)};
};

}  // namespace pellmor::testing
