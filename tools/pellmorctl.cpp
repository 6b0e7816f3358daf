// pellmorctl: plays the main application's side of the companion's channel, for people and tests.
// It writes lines into "/from_main.fifo" and reads the companion's lines from "/to_main.fifo" in the same
// shared container as the companion. Every wait is bounded except an explicit listen without --timeout.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "Support/Container.h"
#include "Support/FileDescriptor.h"
#include "Support/LineFramer.h"

namespace {

using pellmor::FileDescriptor;
using Clock = std::chrono::steady_clock;

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

constexpr const char* usageText = R"(usage: pellmorctl COMMAND [OPTIONS]

Plays the main application's side of the companion's channel: writes to
$XDG_RUNTIME_DIR/<app group>/from_main.fifo and reads to_main.fifo.

Commands:
  send 'JSON'                      send one raw line (a newline is added)
  show-timer [--started-ago SECONDS | --started-at EPOCH] [--hours H]
                                   send showTimer; without options it carries no keys
  clear-timer                      send clearTimer
  set-authenticated true|false     send setAuthenticated
  set-timestamps-mode true|false   send setTimestampsMode
  set-time-format VALUE            send setTimeFormat (hours_minutes or decimal)
  set-decimal-symbol VALUE         send setDecimalSymbol ("." or ",")
  listen [--count N] [--timeout SECONDS]
                                   print the companion's lines as they arrive; stops after N
                                   lines or SECONDS (default: no limit)
  position [--timeout SECONDS]     send requestMenubarPosition and print the menubarPosition
                                   answer (default timeout 2 s)
  --help                           show this text
  --version                        show the version

Exit status: 0 on success, 1 when no companion answers or a wait times out, 2 on a usage error.
)";

struct Failure {
  int status;
  std::string message;
};

int fail(const Failure& failure) {
  std::fprintf(stderr, "pellmorctl: %s\n", failure.message.c_str());
  return failure.status;
}

Failure usageError(const std::string& message) {
  return {exitUsage, message + " (see pellmorctl --help)"};
}

std::optional<double> parseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

std::optional<bool> parseBoolean(const std::string& text) {
  if (text == "true") return true;
  if (text == "false") return false;
  return std::nullopt;
}

// The command's options as --name value pairs; anything else is a usage error.
class Options {
 public:
  Options(std::vector<std::string> arguments, std::vector<std::string> known)
      : arguments_(std::move(arguments)), known_(std::move(known)) {}

  std::optional<Failure> check() const {
    for (std::size_t i = 0; i < arguments_.size(); i += 2) {
      if (std::find(known_.begin(), known_.end(), arguments_[i]) == known_.end()) {
        return usageError("unknown option " + arguments_[i]);
      }
      if (i + 1 >= arguments_.size()) return usageError(arguments_[i] + " needs a value");
    }
    return std::nullopt;
  }

  std::optional<std::string> text(std::string_view name) const {
    for (std::size_t i = 0; i + 1 < arguments_.size(); i += 2) {
      if (arguments_[i] == name) return arguments_[i + 1];
    }
    return std::nullopt;
  }

  // The option's number, nothing when absent; a value that is not a number is a usage error.
  std::optional<double> number(std::string_view name, std::optional<Failure>& failure) const {
    const std::optional<std::string> value = text(name);
    if (!value) return std::nullopt;
    const std::optional<double> parsed = parseNumber(*value);
    if (!parsed) failure = usageError(std::string(name) + " needs a number, not '" + *value + "'");
    return parsed;
  }

 private:
  std::vector<std::string> arguments_;
  std::vector<std::string> known_;
};

std::optional<std::string> containerPath() {
  return pellmor::appGroupContainerPath(PELLMOR_APP_GROUP_IDENTIFIER);
}

Failure noContainer() {
  return {exitFailure, "no usable shared container for " PELLMOR_APP_GROUP_IDENTIFIER
                       " (XDG_RUNTIME_DIR missing, or the directory is not private to this user)"};
}

// Writes one line into "/from_main.fifo" without ever blocking: with no companion reading, the open
// fails with ENXIO at once.
std::optional<Failure> sendLine(const std::string& container, const std::string& line) {
  const std::string path = container + "/from_main.fifo";
  const FileDescriptor fifo(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fifo) {
    if (errno == ENXIO) return Failure{exitFailure, "no companion is reading " + path};
    if (errno == ENOENT) return Failure{exitFailure, path + " does not exist; is the companion running?"};
    return Failure{exitFailure, "cannot open " + path + ": " + std::strerror(errno)};
  }
  if (!pellmor::isFifo(fifo)) return Failure{exitFailure, path + " is not a FIFO"};
  const std::string framed = line + '\n';
  ssize_t written = -1;
  do {
    written = ::write(fifo.get(), framed.data(), framed.size());
  } while (written < 0 && errno == EINTR);
  if (written != static_cast<ssize_t>(framed.size())) {
    return Failure{exitFailure, "could not write the whole line to " + path + ": " +
                                    (written < 0 ? std::strerror(errno) : "short write")};
  }
  return std::nullopt;
}

// Reads "/to_main.fifo". Holding a writing end of our own means the companion's close after each line
// does not leave us at end of file, so the wait never spins.
class Listener {
 public:
  explicit Listener(const std::string& container) : path_(container + "/to_main.fifo") {}

  std::optional<Failure> open() {
    reader_ = FileDescriptor(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!reader_) return Failure{exitFailure, "cannot open " + path_ + ": " + std::strerror(errno)};
    if (!pellmor::isFifo(reader_)) return Failure{exitFailure, path_ + " is not a FIFO"};
    keepAlive_ = FileDescriptor(::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    return std::nullopt;
  }

  // Calls onLine for each line until it returns false or the deadline passes; false on timeout.
  bool run(std::optional<Clock::time_point> deadline, const std::function<bool(std::string_view)>& onLine) {
    bool done = false;
    const auto handle = [&](std::string_view line) {
      if (!done) done = !onLine(line);
    };
    std::array<char, 4096> buffer{};
    while (!done) {
      int timeout = -1;
      if (deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
        if (left <= 0) return false;
        timeout = static_cast<int>(std::min<long long>(left, 1000));
      }
      pollfd watched{reader_.get(), POLLIN, 0};
      if (::poll(&watched, 1, timeout) <= 0) continue;
      const ssize_t count = ::read(reader_.get(), buffer.data(), buffer.size());
      if (count > 0) framer_.push(std::string_view(buffer.data(), static_cast<std::size_t>(count)), handle);
    }
    return true;
  }

 private:
  std::string path_;
  FileDescriptor reader_;
  FileDescriptor keepAlive_;
  pellmor::LineFramer framer_;
};

std::optional<Clock::time_point> deadlineAfter(std::optional<double> seconds) {
  if (!seconds) return std::nullopt;
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*seconds));
}

std::string formatSeconds(double seconds) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%g", seconds);
  return text.data();
}

int printLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  return std::fflush(stdout);
}

int listen(const std::string& container, const Options& options) {
  std::optional<Failure> failure;
  const std::optional<double> count = options.number("--count", failure);
  const std::optional<double> timeout = options.number("--timeout", failure);
  if (failure) return fail(*failure);
  Listener listener(container);
  if (auto opened = listener.open()) return fail(*opened);
  long long seen = 0;
  const bool finished = listener.run(deadlineAfter(timeout), [&](std::string_view line) {
    printLine(line);
    return !count || ++seen < static_cast<long long>(*count);
  });
  if (finished || !count) return EXIT_SUCCESS;
  return fail({exitFailure, "timed out after " + std::to_string(seen) + " of " +
                                std::to_string(static_cast<long long>(*count)) + " lines"});
}

int position(const std::string& container, const Options& options) {
  std::optional<Failure> failure;
  const double timeout = options.number("--timeout", failure).value_or(2.0);
  if (failure) return fail(*failure);
  Listener listener(container);  // listen first, so the answer cannot be missed
  if (auto opened = listener.open()) return fail(*opened);
  if (auto sent = sendLine(container, R"({"action":"requestMenubarPosition"})")) return fail(*sent);
  const bool answered = listener.run(deadlineAfter(timeout), [](std::string_view line) {
    const auto message = nlohmann::json::parse(line, nullptr, false);
    const bool isAnswer = message.is_object() && message.value("action", "") == "menubarPosition";
    if (isAnswer) printLine(line);
    return !isAnswer;
  });
  if (answered) return EXIT_SUCCESS;
  return fail({exitFailure, "no menubarPosition answer within " + formatSeconds(timeout) +
                                " s (no companion, or its status item has no position)"});
}

// Builds the line of a command that sends one message; nothing with `failure` set when it cannot.
std::optional<std::string> messageFor(const std::string& command, const std::vector<std::string>& arguments,
                                      std::optional<Failure>& failure) {
  const auto single = [&](const char* what) -> std::optional<std::string> {
    if (arguments.size() != 1) failure = usageError(command + " takes exactly one " + what);
    return arguments.size() == 1 ? std::optional<std::string>(arguments[0]) : std::nullopt;
  };
  const auto withValue = [&](const char* action, nlohmann::json value) {
    return nlohmann::json{{"action", action}, {"value", std::move(value)}}.dump();
  };
  const auto booleanMessage = [&](const char* action) -> std::optional<std::string> {
    const auto text = single("value, true or false");
    if (!text) return std::nullopt;
    const auto value = parseBoolean(*text);
    if (!value) failure = usageError(command + " takes true or false, not '" + *text + "'");
    return value ? std::optional<std::string>(withValue(action, *value)) : std::nullopt;
  };

  if (command == "send") return single("JSON line");
  if (command == "clear-timer") {
    if (!arguments.empty()) failure = usageError("clear-timer takes no arguments");
    return R"({"action":"clearTimer"})";
  }
  if (command == "set-authenticated") return booleanMessage("setAuthenticated");
  if (command == "set-timestamps-mode") return booleanMessage("setTimestampsMode");
  if (command == "set-time-format") {
    const auto value = single("value");
    return value ? std::optional<std::string>(withValue("setTimeFormat", *value)) : std::nullopt;
  }
  if (command == "set-decimal-symbol") {
    const auto value = single("value");
    return value ? std::optional<std::string>(withValue("setDecimalSymbol", *value)) : std::nullopt;
  }
  if (command == "show-timer") {
    const Options options(arguments, {"--started-ago", "--started-at", "--hours"});
    if ((failure = options.check())) return std::nullopt;
    const auto ago = options.number("--started-ago", failure);
    const auto at = options.number("--started-at", failure);
    const auto hours = options.number("--hours", failure);
    if (ago && at) failure = usageError("--started-ago and --started-at exclude each other");
    if (failure) return std::nullopt;
    nlohmann::json message{{"action", "showTimer"}};
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    if (ago) message["startedAt"] = now - *ago;
    if (at) message["startedAt"] = *at;
    if (hours) message["hoursWithoutTimer"] = *hours;
    return message.dump();
  }
  failure = usageError("unknown command '" + command + "'");
  return std::nullopt;
}

int run(const std::vector<std::string>& words) {
  if (words.empty()) return fail(usageError("no command"));
  const std::string& command = words[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(usageText, stdout);
    return EXIT_SUCCESS;
  }
  if (command == "--version") {
    std::fputs("pellmorctl " PELLMOR_VERSION "\n", stdout);
    return EXIT_SUCCESS;
  }
  const std::vector<std::string> arguments(words.begin() + 1, words.end());
  const auto container = [] { return containerPath(); };

  if (command == "listen" || command == "position") {
    const Options options = command == "listen" ? Options(arguments, {"--count", "--timeout"})
                                                : Options(arguments, {"--timeout"});
    if (auto invalid = options.check()) return fail(*invalid);
    const auto path = container();
    if (!path) return fail(noContainer());
    return command == "listen" ? listen(*path, options) : position(*path, options);
  }

  std::optional<Failure> failure;
  const std::optional<std::string> line = messageFor(command, arguments, failure);
  if (failure || !line) return fail(failure.value_or(usageError("nothing to send")));
  const auto path = container();
  if (!path) return fail(noContainer());
  if (auto sent = sendLine(*path, *line)) return fail(*sent);
  return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  // A companion that closes its end between our open and write must give EPIPE, not kill us.
  std::signal(SIGPIPE, SIG_IGN);
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
