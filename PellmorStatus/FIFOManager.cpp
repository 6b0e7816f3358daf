#include "FIFOManager.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

#include "Platform/Application.h"
#include "StatusItemManager.h"
#include "Support/BrokenPipe.h"
#include "Support/Container.h"
#include "Support/FileDescriptor.h"
#include "Support/LineFramer.h"
#include "Support/Output.h"
#include "Support/SerialQueue.h"
#include "Support/Syscalls.h"
#include "Support/Utf8.h"

namespace pellmor {
namespace {

constexpr std::size_t readBufferBytes = 4096;
// How long stop() waits for a write task before draining the FIFO it may be stuck writing into.
constexpr std::chrono::milliseconds writerReleaseInterval{10};

[[noreturn]] void failForMissingContainer() {
  std::fputs("PellmorStatus/FIFOManager:14: Fatal error: Could not find App Group container\n", stderr);
  std::fflush(stderr);
  std::abort();
}

std::string lookUpContainer(const FIFOManager::Environment& environment) {
  std::optional<std::string> container;
  if (environment.containerLookup) container = environment.containerLookup();
  if (!container) failForMissingContainer();
  return *std::move(container);
}

// Follows symbolic links: a link that leads nowhere counts as missing, so mkfifo is tried and reports
// "File exists"; the link itself is then used unchanged.
bool entryExists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

bool isFiniteNumber(const Message& value) {
  return value.is_number() && std::isfinite(value.get<double>());
}

std::optional<double> numberAt(const Message& message, const char* key) {
  const auto found = message.find(key);
  if (found == message.end() || !isFiniteNumber(*found)) return std::nullopt;
  return found->get<double>();
}

std::optional<bool> booleanValue(const Message& message) {
  const auto found = message.find("value");
  if (found == message.end() || !found->is_boolean()) return std::nullopt;
  return found->get<bool>();
}

// The string under "value" when it is exactly one of the accepted texts.
std::optional<std::string> acceptedStringValue(const Message& message,
                                               std::initializer_list<const char*> accepted) {
  const auto found = message.find("value");
  if (found == message.end() || !found->is_string()) return std::nullopt;
  const auto& text = found->get_ref<const std::string&>();
  for (const char* candidate : accepted) {
    if (text == candidate) return text;
  }
  return std::nullopt;
}

void discardAvailableBytes(const FileDescriptor& fifo) {
  if (!fifo) return;
  std::array<char, readBufferBytes> sink{};
  [[maybe_unused]] const ssize_t count = ::read(fifo.get(), sink.data(), sink.size());
}

// Decodes one line into a JSON object, or nothing. Containers nested deeper than the bound refuse the
// whole line while it is parsed: rendering and copying a value recurse once per level, so an absurdly deep
// line would otherwise exhaust the main thread's stack.
std::optional<Message> decodeObject(std::string_view line) {
  bool tooDeep = false;
  const Message::parser_callback_t refuseDeepContainers = [&tooDeep](int depth, Message::parse_event_t event,
                                                                     Message&) {
    const bool opensContainer =
        event == Message::parse_event_t::object_start || event == Message::parse_event_t::array_start;
    if (opensContainer && depth >= FIFOManager::maxMessageNesting) tooDeep = true;
    return !tooDeep;  // from then on nothing more is kept
  };
  Message message = Message::parse(line, refuseDeepContainers, false);
  if (tooDeep || message.is_discarded() || !message.is_object()) return std::nullopt;
  return message;
}

std::string render(const Message& message) {
  return message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

class FIFOManager::Impl {
 public:
  explicit Impl(Environment env)
      : environment(std::move(env)),
        syscalls(environment.syscalls != nullptr ? *environment.syscalls : Syscalls::system()),
        wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

  Environment environment;
  Syscalls& syscalls;
  std::string toMainPath;
  std::string fromMainPath;
  std::atomic<bool> isReading{false};
  std::atomic<bool> stopping{false};
  bool stopped = false;
  // Written by stop() to end the reader's wait at once.
  FileDescriptor wake;
  std::optional<std::thread> readThread;
  // A reader of "/to_main.fifo" that goes away mid-write must cost the line, not the process.
  SerialQueue writeQueue{"pellmor.fifo.write", blockBrokenPipeSignal};
  // Tasks posted to the main thread check it, so a channel stopped and destroyed (in tests) is not touched.
  std::shared_ptr<FIFOManager*> self;
  // Messages posted to the main thread and not handled yet; shared with the tasks, which may outlive us.
  std::shared_ptr<std::atomic<std::size_t>> awaitingMainThread =
      std::make_shared<std::atomic<std::size_t>>(0);

  // Reader thread: holds the next message back while the main thread has a full backlog. False when the
  // channel stopped meanwhile.
  bool waitForRoomOnMainThread() {
    std::size_t awaiting = awaitingMainThread->load();
    while (awaiting >= maxMessagesAwaitingMainThread && isReading) {
      awaitingMainThread->wait(awaiting);
      awaiting = awaitingMainThread->load();
    }
    return isReading || awaiting < maxMessagesAwaitingMainThread;
  }

  void releaseWaitingReader() {
    awaitingMainThread->fetch_add(1);  // a change of value, so a waiting reader wakes and sees the stop
    awaitingMainThread->notify_all();
  }

  FileDescriptor openFifo(const std::string& path, int flags) {
    FileDescriptor fifo(retryOnInterrupt([&] { return syscalls.open(path.c_str(), flags | O_CLOEXEC); }));
    // Only a FIFO will do: a regular file would be re-read (or appended to) forever, a directory never read.
    if (fifo && !isFifo(fifo)) fifo.reset();
    return fifo;
  }

  // Waits until the FIFO has something to report or stop() is called; false when the reader should end.
  bool waitForInput(const FileDescriptor& fifo) {
    std::array<pollfd, 2> watched{pollfd{fifo.get(), POLLIN, 0}, pollfd{wake.get(), POLLIN, 0}};
    const int ready = retryOnInterrupt([&] { return syscalls.poll(watched.data(), watched.size(), -1); });
    if (ready < 0 || watched[1].revents != 0) return false;
    return isReading.load();
  }

  void wakeReader() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake.get(), &one, sizeof one);
  }

  // A write task may be stuck in its open (no reader) or in its write (full pipe): hold a reader of our
  // own and empty the pipe until the task is done.
  void releaseWriter() {
    if (writeQueue.waitUntilIdle(std::chrono::milliseconds(0))) return;
    FileDescriptor releaser = openFifo(toMainPath, O_RDONLY | O_NONBLOCK);
    while (!writeQueue.waitUntilIdle(writerReleaseInterval))
      discardAvailableBytes(releaser);
  }
};

FIFOManager& FIFOManager::shared() {
  // Never destroyed: the reader and writer threads may still use it while the process exits.
  static FIFOManager* const instance = new FIFOManager(Environment{
      .containerLookup = [] { return appGroupContainerPath(PELLMOR_APP_GROUP_IDENTIFIER); },
      .mainThread = &platform::Application::shared().mainThread(),
      .menubarPositionInfo = [] { return StatusItemManager::shared().menubarPositionInfo(); },
      .syscalls = nullptr,
  });
  return *instance;
}

FIFOManager::FIFOManager(Environment environment) : impl_(std::make_unique<Impl>(std::move(environment))) {
  impl_->self = std::make_shared<FIFOManager*>(this);
  impl_->toMainPath = lookUpContainer(impl_->environment) + "/to_main.fifo";
  impl_->fromMainPath = lookUpContainer(impl_->environment) + "/from_main.fifo";
  createMissingFifos();
  startReading();
}

FIFOManager::~FIFOManager() {
  stop();
}

void FIFOManager::stop() {
  if (impl_->stopped) return;
  impl_->stopped = true;
  impl_->isReading = false;
  impl_->stopping = true;
  impl_->wakeReader();
  impl_->releaseWaitingReader();
  if (impl_->readThread && impl_->readThread->joinable()) impl_->readThread->join();
  impl_->self.reset();  // after the join: the reader copies it for every line it posts
  impl_->writeQueue.cancelPending();
  impl_->releaseWriter();
  impl_->writeQueue.stop();
}

void FIFOManager::createMissingFifos() {
  for (const std::string* path : {&impl_->toMainPath, &impl_->fromMainPath}) {
    if (entryExists(*path)) continue;
    if (impl_->syscalls.mkfifo(path->c_str(), 0666) != 0) std::perror("mkfifo");
  }
}

void FIFOManager::startReading() {
  impl_->isReading = true;
  // The first descriptor is opened here, not on the reader thread, so the FIFO has a reader from the
  // moment construction ends: a main application that opens it without blocking finds the companion.
  FileDescriptor first = impl_->openFifo(impl_->fromMainPath, O_RDONLY | O_NONBLOCK);
  impl_->readThread.emplace([this, first = std::move(first)]() mutable { readLoop(std::move(first)); });
  setIsConnected(true);
}

void FIFOManager::readLoop(FileDescriptor fifo) {
  Impl& impl = *impl_;
  if (!fifo) {
    printLine("Failed to open FIFO for reading");
    return;
  }
  LineFramer framer;
  std::array<char, readBufferBytes> buffer{};
  const LineFramer::LineHandler deliver = [this](std::string_view line) {
    if (isValidUtf8(line)) processLine(line);
  };
  while (impl.isReading && impl.waitForInput(fifo)) {
    const ssize_t count =
        retryOnInterrupt([&] { return impl.syscalls.read(fifo.get(), buffer.data(), buffer.size()); });
    if (count > 0) {
      framer.push(std::string_view(buffer.data(), static_cast<std::size_t>(count)), deliver);
    } else if (count == 0) {
      // Every writer has gone. Open the next descriptor before closing this one: the FIFO keeps a reader
      // throughout, so a line written in between stays in the pipe instead of being discarded. The new
      // descriptor does not report the old hang-up, so the wait that follows does not spin.
      FileDescriptor next = impl.openFifo(impl.fromMainPath, O_RDONLY | O_NONBLOCK);
      if (!next) {
        printLine("Failed to open FIFO for reading");
        return;
      }
      fifo = std::move(next);
      framer.reset();  // an unterminated fragment does not survive its connection
      buffer.fill(0);
    } else if (errno != EAGAIN) {
      impl.isReading = false;  // read error: the reader ends for good, silently
      return;
    }
  }
}

void FIFOManager::processLine(std::string_view line) {
  std::optional<Message> decoded = decodeObject(line);
  if (!decoded) return;
  if (impl_->environment.mainThread == nullptr || !impl_->waitForRoomOnMainThread()) return;
  impl_->awaitingMainThread->fetch_add(1);
  impl_->environment.mainThread->post([weakSelf = std::weak_ptr<FIFOManager*>(impl_->self),
                                       awaiting = impl_->awaitingMainThread, message = *std::move(decoded)] {
    if (const auto self = weakSelf.lock()) (*self)->handleMessage(message);
    awaiting->fetch_sub(1);
    awaiting->notify_one();
  });
}

void FIFOManager::handleMessage(const Message& message) {
  const auto action = message.find("action");
  if (action == message.end() || !action->is_string()) {
    printLine("Received message without action: " + render(message));
    return;
  }
  const auto& name = action->get_ref<const std::string&>();
  if (name == "showTimer") {
    setTimerStartedAt(numberAt(message, "startedAt"));
    setHoursWithoutTimer(numberAt(message, "hoursWithoutTimer"));
  } else if (name == "clearTimer") {
    setTimerStartedAt(std::nullopt);
    setHoursWithoutTimer(std::nullopt);
  } else if (name == "setAuthenticated") {
    if (const auto value = booleanValue(message)) setAuthenticated(*value);
  } else if (name == "setTimestampsMode") {
    if (const auto value = booleanValue(message)) setTimestampsMode(*value);
  } else if (name == "setTimeFormat") {
    if (auto value = acceptedStringValue(message, {"hours_minutes", "decimal"}))
      setTimeFormat(*std::move(value));
  } else if (name == "setDecimalSymbol") {
    if (auto value = acceptedStringValue(message, {".", ","})) setDecimalSymbol(*std::move(value));
  } else if (name == "requestMenubarPosition") {
    sendMenubarPosition();
  } else {
    printLine("Received unknown action: " + render(message));
  }
}

void FIFOManager::sendMenubarPosition() {
  const auto& positionInfo = impl_->environment.menubarPositionInfo;
  const std::optional<PositionRecord> position = positionInfo ? positionInfo() : std::nullopt;
  if (!position) return;
  const Message answer = {{"action", "menubarPosition"},
                          {"x", position->x},
                          {"y", position->y},
                          {"width", position->width},
                          {"height", position->height}};
  sendMessage(answer.dump());
}

void FIFOManager::sendMessage(std::string line) {
  impl_->writeQueue.async([this, line = std::move(line)] { writeToFIFO(line); });
}

void FIFOManager::writeToFIFO(const std::string& line) {
  Impl& impl = *impl_;
  if (impl.stopping) return;
  // Blocks until the main application reads "/to_main.fifo"; later tasks wait behind this one.
  const FileDescriptor fifo = impl.openFifo(impl.toMainPath, O_WRONLY);
  if (!fifo) {
    printLine("Failed to open FIFO for writing");
    return;
  }
  if (impl.stopping) return;  // the reader that released the open is stop()'s own
  const std::string framed = line + '\n';
  const ssize_t written =
      retryOnInterrupt([&] { return impl.syscalls.write(fifo.get(), framed.data(), framed.size()); });
  if (written < 0 && errno == EPIPE) discardPendingBrokenPipeSignal();
}

void FIFOManager::sendAction(std::string_view action) {
  const Message message = {{"action", action}};
  sendMessage(message.dump());
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
  return impl_->toMainPath;
}
const std::string& FIFOManager::fromMainPath() const {
  return impl_->fromMainPath;
}
bool FIFOManager::isReading() const {
  return impl_->isReading;
}

}  // namespace pellmor
