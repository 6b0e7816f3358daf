#include "FIFOManager.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "Support/Output.h"
#include "Support/Syscalls.h"

namespace pellmor {
namespace {

// The one fatal stop. "PellmorStatus/FIFOManager:14" is part of the fixed text of this line, which the main
// application's side knows; it is not meant to track where this code sits.
[[noreturn]] void failForMissingContainer() {
  std::fputs("PellmorStatus/FIFOManager:14: Fatal error: Could not find App Group container\n", stderr);
  std::fflush(stderr);
  std::abort();
}

// Each FIFO path makes its own container lookup; a missing container ends the process.
std::string fifoPath(const FIFOManager::Environment& environment, const char* suffix) {
  std::optional<std::string> container;
  if (environment.containerLookup) container = environment.containerLookup();
  if (!container) failForMissingContainer();
  return *std::move(container) + suffix;
}

// Follows symbolic links: a link that leads nowhere counts as missing, so mkfifo is tried and reports
// "File exists"; the link itself is then used unchanged.
bool entryExists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

Syscalls& syscallsOf(const FIFOManager::Environment& environment) {
  return environment.syscalls != nullptr ? *environment.syscalls : Syscalls::system();
}

}  // namespace

FIFOManager::FIFOManager(Environment environment)
    : environment_(std::move(environment)),
      syscalls_(syscallsOf(environment_)),
      toMainPath_(fifoPath(environment_, "/to_main.fifo")),
      fromMainPath_(fifoPath(environment_, "/from_main.fifo")),
      writeQueue_(toMainPath_, syscalls_),
      self_(std::make_shared<FIFOManager*>(this)) {
  createMissingFifos();
  startReading();
}

FIFOManager::~FIFOManager() {
  stop();
}

void FIFOManager::stop() {
  if (stopping_.exchange(true)) return;
  // A change of value, so a reader waiting for room on the main thread wakes and sees the stop.
  awaitingMainThread_->messages.fetch_add(1);
  awaitingMainThread_->messages.notify_all();
  if (readThread_) readThread_->stop();
  self_.reset();  // after the reader has ended: it copies the handle for every message it posts
  writeQueue_.stop();
}

void FIFOManager::createMissingFifos() {
  for (const std::string* path : {&toMainPath_, &fromMainPath_}) {
    if (entryExists(*path)) continue;
    if (syscalls_.mkfifo(path->c_str(), 0666) != 0) std::perror("mkfifo");
  }
}

void FIFOManager::startReading() {
  readThread_ = std::make_unique<FIFOReader>(fromMainPath_, syscalls_, [this](std::string_view line) {
    if (waitForRoomOnMainThread()) processLine(line);
  });
  setIsConnected(true);
}

// The message count is read first: a handled message lowers the bytes before the count, so a wait on a
// count read before bytes that were still too many returns as soon as either falls.
bool FIFOManager::waitForRoomOnMainThread() {
  Backlog& backlog = *awaitingMainThread_;
  for (;;) {
    const std::size_t messages = backlog.messages.load();
    const bool full = messages >= maxMessagesAwaitingMainThread ||
                      backlog.lineBytes.load() >= maxLineBytesAwaitingMainThread;
    if (!full || stopping_) break;
    backlog.messages.wait(messages);
  }
  return !stopping_;
}

void FIFOManager::processLine(std::string_view line) {
  std::optional<Message> message = protocol::decodeObject(line);
  if (!message || environment_.mainThread == nullptr) return;
  const std::size_t lineBytes = line.size();
  awaitingMainThread_->lineBytes.fetch_add(lineBytes);
  awaitingMainThread_->messages.fetch_add(1);
  environment_.mainThread->post([self = std::weak_ptr<FIFOManager*>(self_), backlog = awaitingMainThread_,
                                 lineBytes, message = *std::move(message)] {
    if (const auto channel = self.lock()) (*channel)->handleMessage(message);
    backlog->lineBytes.fetch_sub(lineBytes);
    backlog->messages.fetch_sub(1);
    backlog->messages.notify_one();
  });
}

void FIFOManager::handleMessage(const Message& message) {
  const auto action = message.find("action");
  if (action == message.end() || !action->is_string()) {
    printLine("Received message without action: " + protocol::render(message));
    return;
  }
  const auto& name = action->get_ref<const std::string&>();
  if (name == "showTimer") {
    setTimerStartedAt(protocol::numberAt(message, "startedAt"));
    setHoursWithoutTimer(protocol::numberAt(message, "hoursWithoutTimer"));
  } else if (name == "clearTimer") {
    setTimerStartedAt(std::nullopt);
    setHoursWithoutTimer(std::nullopt);
  } else if (name == "setAuthenticated") {
    if (const auto value = protocol::booleanValue(message)) setAuthenticated(*value);
  } else if (name == "setTimestampsMode") {
    if (const auto value = protocol::booleanValue(message)) setTimestampsMode(*value);
  } else if (name == "setTimeFormat") {
    if (auto value = protocol::acceptedStringValue(message, protocol::timeFormats))
      setTimeFormat(*std::move(value));
  } else if (name == "setDecimalSymbol") {
    if (auto value = protocol::acceptedStringValue(message, protocol::decimalSymbols))
      setDecimalSymbol(*std::move(value));
  } else if (name == "requestMenubarPosition") {
    sendMenubarPosition();
  } else {
    printLine("Received unknown action: " + protocol::render(message));
  }
}

void FIFOManager::sendMenubarPosition() {
  const auto& positionInfo = environment_.menubarPositionInfo;
  if (const std::optional<PositionRecord> position = positionInfo ? positionInfo() : std::nullopt)
    sendMessage(protocol::encodePosition(*position));
}

void FIFOManager::sendMessage(std::string line) {
  writeQueue_.send(std::move(line));
}

void FIFOManager::sendAction(std::string_view action) {
  sendMessage(protocol::encodeAction(action));
}

void FIFOManager::sendToggleTimerMessage() {
  sendAction("toggleTimer");
}
void FIFOManager::sendToggleAppMessage() {
  sendAction("toggleApp");
}

void FIFOManager::setAuthenticated(bool value) {
  objectWillChange_.send();
  authenticated_ = value;
}
void FIFOManager::setTimerStartedAt(std::optional<double> value) {
  objectWillChange_.send();
  timerStartedAt_ = value;
}
void FIFOManager::setHoursWithoutTimer(std::optional<double> value) {
  objectWillChange_.send();
  hoursWithoutTimer_ = value;
}
void FIFOManager::setTimestampsMode(bool value) {
  objectWillChange_.send();
  timestampsMode_ = value;
}
void FIFOManager::setTimeFormat(std::string value) {
  objectWillChange_.send();
  timeFormat_ = std::move(value);
}
void FIFOManager::setDecimalSymbol(std::string value) {
  objectWillChange_.send();
  decimalSymbol_ = std::move(value);
}
void FIFOManager::setIsConnected(bool value) {
  objectWillChange_.send();
  isConnected_ = value;
}

const std::string& FIFOManager::toMainPath() const {
  return toMainPath_;
}
const std::string& FIFOManager::fromMainPath() const {
  return fromMainPath_;
}

}  // namespace pellmor
