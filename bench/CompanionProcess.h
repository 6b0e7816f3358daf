#pragma once

// Runs the companion as a child process in a private runtime directory, reads what it prints and what
// /proc says about it. Hand-written on posix_spawn: the benchmark links neither Qt nor anything else that
// starts processes, and must not map more than the companion it measures.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Support/FileDescriptor.h"

extern char** environ;

namespace pellmor::bench {

class CompanionProcess {
 public:
  // keepDisplay passes DISPLAY on, so the desktop backend runs; the caller's own session bus and host
  // choice are never passed on. Its notices on standard error would interleave with the figures: discarded.
  CompanionProcess(const std::filesystem::path& runtimeDirectory, bool keepDisplay) {
    std::string executable = PELLMOR_STATUS_PATH;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    stdout_.reset(out[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    std::vector<std::string> environment = childEnvironment(runtimeDirectory, keepDisplay);
    std::vector<char*> envp;
    for (std::string& entry : environment)
      envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* argv[] = {executable.data(), nullptr};
    const int failed = posix_spawn(&pid_, executable.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(out[1]);
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

  // Reads standard output until a line satisfies the predicate or the time runs out.
  bool waitForLine(const std::function<bool(const std::string&)>& matches,
                   std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (bool ended = false;;) {
      for (auto newline = partial_.find('\n'); newline != std::string::npos; newline = partial_.find('\n')) {
        const std::string line = partial_.substr(0, newline);
        partial_.erase(0, newline + 1);
        if (matches(line)) return true;
      }
      const auto now = std::chrono::steady_clock::now();
      if (ended || now >= deadline) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
      // At the end of the output, one last look at what arrived before it.
      ended = !pump(std::min(left, std::chrono::milliseconds(100))) && !isAlive();
    }
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
  // Reads what standard output has within the timeout; false at its end.
  bool pump(std::chrono::milliseconds timeout) {
    if (!stdout_) return false;
    pollfd entry{stdout_.get(), POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) return true;
    char buffer[65536];
    const ssize_t count = read(stdout_.get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) return true;
    if (count <= 0) {
      stdout_.reset();
      return false;
    }
    partial_.append(buffer, static_cast<std::size_t>(count));
    return true;
  }

  bool isAlive() {
    if (pid_ <= 0) return false;
    if (waitpid(pid_, nullptr, WNOHANG) != pid_) return true;
    pid_ = -1;
    return false;
  }

  static std::vector<std::string> childEnvironment(const std::filesystem::path& runtimeDirectory,
                                                   bool keepDisplay) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string_view text(*entry);
      const bool isDisplay = text.starts_with("DISPLAY=") || text.starts_with("WAYLAND_DISPLAY=");
      const bool choosesHost =
          text.starts_with("DBUS_SESSION_BUS_ADDRESS=") || text.starts_with("PELLMOR_STATUS_HOST=");
      if (text.starts_with("XDG_RUNTIME_DIR=") || choosesHost || (isDisplay && !keepDisplay)) continue;
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
  FileDescriptor stdout_;
  std::string partial_;  // read but not yet matched
};

}  // namespace pellmor::bench
