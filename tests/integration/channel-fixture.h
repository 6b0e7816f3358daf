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
  TemporaryDirectory() : path_((std::filesystem::temp_directory_path() / "pellmor-channel-XXXXXX").string()) {
    if (::mkdtemp(path_.data()) == nullptr) path_.clear();
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
// retried while no reader is there. The calling thread ignores broken pipes (only this thread).
inline bool writeConnection(const std::string& path, std::string_view bytes) {
  sigset_t brokenPipe;
  sigemptyset(&brokenPipe);
  sigaddset(&brokenPipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
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

// The main application's reading end of "/to_main.fifo": opened without blocking and held, reopened after
// each end of file so that it never leaves the FIFO without a reader.
class ToMainReader {
 public:
  explicit ToMainReader(std::string path) : path_(std::move(path)) { reopen(); }

  // Reads until `count` lines have arrived or the timeout passes; returns all lines read so far.
  std::vector<std::string> readLines(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (lines_.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd watched{fifo_.get(), POLLIN, 0};
      if (::poll(&watched, 1, 10) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fifo_.get(), buffer, sizeof buffer);
      if (n > 0) {
        framer_.push(std::string_view(buffer, static_cast<std::size_t>(n)),
                     [this](std::string_view line) { lines_.emplace_back(line); });
      } else if (n == 0) {
        reopen();
      }
    }
    return lines_;
  }

 private:
  void reopen() { fifo_ = FileDescriptor(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)); }

  std::string path_;
  FileDescriptor fifo_;
  LineFramer framer_;
  std::vector<std::string> lines_;
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

// The real system calls, recorded, with one-shot failures to inject. Thread-safe: the reader and the
// writer thread call it at the same time.
class RecordingSyscalls : public Syscalls {
 public:
  // The next `times` calls named `name` (whose detail contains `match`) fail with `error`.
  void failNext(std::string name, int error, int times = 1, std::string match = "") {
    std::lock_guard lock(mutex_);
    failures_.push_back({std::move(name), std::move(match), error, times});
  }

  // Holds the reader a moment after each end of file, widening the window in which a writer can come
  // and go before the reader has moved on to its next descriptor.
  void pauseAtEndOfFile(std::chrono::microseconds pause) { pauseAtEndOfFile_ = pause; }

  // The details of the calls named `name`, in order: the path of open and mkfifo, the bytes of write, the
  // result of read.
  std::vector<std::string> details(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto found = calls_.find(name);
    return found == calls_.end() ? std::vector<std::string>{} : found->second;
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
    return failed("open", path) ? -1 : Syscalls::open(path, flags);
  }
  ssize_t read(int fd, void* buffer, size_t count) override {
    if (failed("read", "")) return -1;
    const ssize_t result = Syscalls::read(fd, buffer, count);
    failed(result > 0 ? "read data" : result == 0 ? "read end" : "read error", std::to_string(result));
    if (result == 0) std::this_thread::sleep_for(pauseAtEndOfFile_.load());
    return result;
  }
  ssize_t write(int fd, const void* buffer, size_t count) override {
    return failed("write", std::string(static_cast<const char*>(buffer), count))
               ? -1
               : Syscalls::write(fd, buffer, count);
  }
  int poll(pollfd* fds, nfds_t count, int timeoutMilliseconds) override {
    return failed("poll", "") ? -1 : Syscalls::poll(fds, count, timeoutMilliseconds);
  }
  int mkfifo(const char* path, mode_t mode) override {
    return failed("mkfifo", path) ? -1 : Syscalls::mkfifo(path, mode);
  }

 private:
  struct Failure {
    std::string name;
    std::string match;
    int error;
    int times;
  };

  std::size_t countLocked(std::string_view name, std::string_view match) const {
    const auto found = calls_.find(name);
    if (found == calls_.end()) return 0;
    if (match.empty()) return found->second.size();
    return static_cast<std::size_t>(
        std::count_if(found->second.begin(), found->second.end(),
                      [&](const auto& d) { return d.find(match) != std::string::npos; }));
  }

  // Records the call and reports whether an injected failure applies to it (errno set).
  bool failed(std::string name, std::string detail) {
    int error = 0;
    {
      std::lock_guard lock(mutex_);
      const auto failure = std::find_if(failures_.begin(), failures_.end(), [&](const Failure& f) {
        return f.name == name && f.times > 0 && detail.find(f.match) != std::string::npos;
      });
      if (failure != failures_.end()) {
        --failure->times;
        error = failure->error;
      }
      calls_[std::move(name)].push_back(std::move(detail));
    }
    recorded_.notify_all();
    if (error != 0) errno = error;
    return error != 0;
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::map<std::string, std::vector<std::string>, std::less<>> calls_;  // the details of each call, by name
  std::vector<Failure> failures_;
  std::atomic<std::chrono::microseconds> pauseAtEndOfFile_{std::chrono::microseconds(0)};
};

}  // namespace pellmor::testing
