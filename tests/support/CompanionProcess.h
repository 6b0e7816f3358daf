#pragma once

// Runs the companion as a child process in a private runtime directory, without a display, and reads
// what it prints. Used by the StatusNotifierItem test and the footprint benchmark.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/Channel.h"

extern char** environ;

namespace pellmor::testing {

using namespace std::chrono_literals;

// The text a child printed on one stream, cut into lines as it arrives.
class LineCollector {
 public:
  explicit LineCollector(int descriptor) : descriptor_(descriptor) {}
  ~LineCollector() {
    if (descriptor_ >= 0) close(descriptor_);
  }
  LineCollector(const LineCollector&) = delete;
  LineCollector& operator=(const LineCollector&) = delete;

  // Reads what is available within the timeout; returns false at end of file.
  bool pump(std::chrono::milliseconds timeout) {
    if (descriptor_ < 0) return false;
    pollfd entry{descriptor_, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) return true;
    char buffer[65536];
    const ssize_t count = read(descriptor_, buffer, sizeof buffer);
    if (count <= 0) {
      if (count < 0 && errno == EINTR) return true;
      close(descriptor_);
      descriptor_ = -1;
      return false;
    }
    for (ssize_t i = 0; i < count; ++i) {
      if (buffer[i] == '\n') {
        lines_.push_back(std::move(partial_));
        partial_.clear();
      } else {
        partial_.push_back(buffer[i]);
      }
    }
    return true;
  }

  const std::vector<std::string>& lines() const { return lines_; }

 private:
  int descriptor_;
  std::vector<std::string> lines_;
  std::string partial_;
};

class CompanionProcess {
 public:
  struct Options {
    bool keepDisplay = false;  // pass DISPLAY on, so the desktop backend runs
    // Added to the environment, e.g. a private session bus's DBUS_SESSION_BUS_ADDRESS; the caller's own
    // bus and host choice are never passed on.
    std::vector<std::string> environment{};
  };

  CompanionProcess(const std::filesystem::path& runtimeDirectory, Options options) {
    std::string executable = PELLMOR_STATUS_PATH;
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> environment = childEnvironment(runtimeDirectory, options.keepDisplay);
    environment.insert(environment.end(), options.environment.begin(), options.environment.end());
    std::vector<char*> envp;
    for (std::string& entry : environment)
      envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* argv[] = {executable.data(), nullptr};
    const int failed = posix_spawn(&pid_, executable.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
    close(err[1]);
    stdout_ = std::make_unique<LineCollector>(out[0]);
    stderr_ = std::make_unique<LineCollector>(err[0]);
    if (failed != 0) throw std::runtime_error("cannot start " + executable);
  }

  ~CompanionProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  CompanionProcess(const CompanionProcess&) = delete;
  CompanionProcess& operator=(const CompanionProcess&) = delete;

  LineCollector& out() { return *stdout_; }
  LineCollector& err() { return *stderr_; }

  // Reads standard output until a line satisfies the predicate or the time runs out.
  std::optional<std::string> waitForLine(const std::function<bool(const std::string&)>& matches,
                                         std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t checked = 0;
    for (bool ended = false;;) {
      for (; checked < stdout_->lines().size(); ++checked) {
        if (matches(stdout_->lines()[checked])) return stdout_->lines()[checked];
      }
      const auto now = std::chrono::steady_clock::now();
      if (ended || now >= deadline) return std::nullopt;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
      // At the end of the output, one last look at what arrived before it.
      ended = !stdout_->pump(std::min(left, std::chrono::milliseconds(100))) && !isAlive();
    }
  }

  bool isAlive() {
    if (pid_ <= 0) return false;
    if (waitpid(pid_, nullptr, WNOHANG) != pid_) return true;
    pid_ = -1;
    return false;
  }

  // Resident set size in kilobytes, from /proc.
  long residentKilobytes() const { return fieldOf("/proc/" + std::to_string(pid_) + "/status", "VmRSS:"); }
  long voluntaryContextSwitches() const {
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/task")) {
      // A thread that sleeps and is woken switches voluntarily; preemptions are not wake-ups.
      total += fieldOf(task.path() / "status", "voluntary_ctxt_switches:");
    }
    return total;
  }

 private:
  static std::vector<std::string> childEnvironment(const std::filesystem::path& runtimeDirectory,
                                                   bool keepDisplay) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string_view text(*entry);
      const bool isDisplay = text.starts_with("DISPLAY=") || text.starts_with("WAYLAND_DISPLAY=");
      const bool choosesHost =
          text.starts_with("DBUS_SESSION_BUS_ADDRESS=") || text.starts_with("PELLMOR_STATUS_HOST=");
      if (text.starts_with("XDG_RUNTIME_DIR=") || choosesHost || (isDisplay && !keepDisplay)) {
        continue;
      }
      environment.emplace_back(text);
    }
    environment.push_back("XDG_RUNTIME_DIR=" + runtimeDirectory.string());
    return environment;
  }

  static long fieldOf(const std::filesystem::path& file, std::string_view name) {
    std::ifstream stream(file);
    std::string line;
    while (std::getline(stream, line)) {
      if (line.starts_with(name)) return std::strtol(line.c_str() + name.size(), nullptr, 10);
    }
    return -1;
  }

  pid_t pid_ = -1;
  std::unique_ptr<LineCollector> stdout_;
  std::unique_ptr<LineCollector> stderr_;
};

inline bool waitForPath(const std::filesystem::path& path, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    struct stat info;
    if (lstat(path.c_str(), &info) == 0) return true;
    std::this_thread::sleep_for(1ms);
  }
  return false;
}

}  // namespace pellmor::testing
