#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FIFOReader.h"
#include "FIFOWriter.h"
#include "MessageProtocol.h"
#include "Platform/MainThread.h"
#include "Support/Signal.h"

namespace pellmor {

class Syscalls;

// The channel to the main application: the state it drives, the two FIFOs in the shared container, the
// reader thread, the serial writer queue and the JSON line protocol.
class FIFOManager {
 public:
  // What a channel needs from its surroundings. shared() wires the real ones; tests pass their own.
  struct Environment {
    // The shared container's path without a trailing separator, or nothing when there is none. Called
    // once for each FIFO path; a missing container ends the process.
    std::function<std::optional<std::string>()> containerLookup;
    // The main thread's queue; decoded messages reach handleMessage through it.
    platform::MainThread* mainThread = nullptr;
    // The status item's position, for "requestMenubarPosition".
    std::function<std::optional<PositionRecord>()> menubarPositionInfo;
    // The system calls of the transport; nothing means the real ones. Tests inject failures here.
    Syscalls* syscalls = nullptr;
  };

  // Decoded messages waiting for the main thread at most, and the most bytes their lines may hold
  // together; beyond either, the reader waits (and the peer's writes with it) instead of queueing without
  // bound while the main thread is busy. The byte budget keeps a flood of long lines, each of which decodes
  // to many times its size, to tens of megabytes; ordinary messages meet the count first.
  static constexpr std::size_t maxMessagesAwaitingMainThread = 4096;
  static constexpr std::size_t maxLineBytesAwaitingMainThread = std::size_t{1} << 20;

  // The process-wide channel, wired by the shell; constructed on first use (thread-safe) and never
  // destroyed.
  static FIFOManager& shared();

  // Creates the missing FIFOs and starts reading. Prefer shared(); other instances exist for tests.
  explicit FIFOManager(Environment environment);
  // Stops the channel (see stop()).
  ~FIFOManager();
  FIFOManager(const FIFOManager&) = delete;
  FIFOManager& operator=(const FIFOManager&) = delete;

  // Orderly shutdown: ends the reader and the writer and waits for both, so no thread stays blocked in an
  // open, read or write. Lines not yet written are dropped. Idempotent.
  void stop();

  // Observable state. Every setter first emits objectWillChange, then stores; main thread only.
  Signal<>& objectWillChange() { return objectWillChange_; }

  bool authenticated() const { return authenticated_; }
  void setAuthenticated(bool value);
  // Seconds since 1970-01-01 00:00:00 UTC, fraction kept.
  std::optional<double> timerStartedAt() const { return timerStartedAt_; }
  void setTimerStartedAt(std::optional<double> value);
  std::optional<double> hoursWithoutTimer() const { return hoursWithoutTimer_; }
  void setHoursWithoutTimer(std::optional<double> value);
  bool timestampsMode() const { return timestampsMode_; }
  void setTimestampsMode(bool value);
  const std::string& timeFormat() const { return timeFormat_; }
  void setTimeFormat(std::string value);
  const std::string& decimalSymbol() const { return decimalSymbol_; }
  void setDecimalSymbol(std::string value);
  bool isConnected() const { return isConnected_; }
  void setIsConnected(bool value);

  const std::string& toMainPath() const;
  const std::string& fromMainPath() const;

  // Decodes one line (without its newline) and posts the message to the main thread; returns at once.
  // The reader thread calls it for every line it cuts.
  void processLine(std::string_view line);
  // Main thread: applies one decoded message.
  void handleMessage(const Message& message);

  // Queues one line (without its newline) for writing to the main application; returns at once.
  void sendMessage(std::string line);
  void sendAction(std::string_view action);
  void sendToggleTimerMessage();
  void sendToggleAppMessage();

 private:
  void createMissingFifos();
  void startReading();
  // Reader thread: holds the next line back while the main thread's backlog is full; false once stopping.
  bool waitForRoomOnMainThread();
  void sendMenubarPosition();

  Signal<> objectWillChange_;
  bool authenticated_ = true;
  std::optional<double> timerStartedAt_;
  std::optional<double> hoursWithoutTimer_;
  bool timestampsMode_ = false;
  std::string timeFormat_ = "hours_minutes";
  std::string decimalSymbol_ = ".";
  bool isConnected_ = false;

  const Environment environment_;
  Syscalls& syscalls_;
  const std::string toMainPath_;
  const std::string fromMainPath_;
  FIFOWriter writeQueue_;
  std::unique_ptr<FIFOReader> readThread_;
  std::atomic<bool> stopping_{false};
  // Messages posted to the main thread and not handled yet, and the bytes of their lines; shared with the
  // posted tasks, which may outlive a channel that was stopped and destroyed.
  struct Backlog {
    std::atomic<std::size_t> messages{0};   // the reader waits on it; every change is notified
    std::atomic<std::size_t> lineBytes{0};  // changes before `messages` does
  };
  std::shared_ptr<Backlog> awaitingMainThread_ = std::make_shared<Backlog>();
  // Posted tasks reach the channel through it; stop() clears it, so they leave a stopped channel alone.
  std::shared_ptr<FIFOManager*> self_;
};

}  // namespace pellmor
