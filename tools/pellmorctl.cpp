// pellmorctl: plays the main application's side of the companion's channel, for people and tests.
// It writes lines into "/from_main.fifo" and reads the companion's lines from "/to_main.fifo" in the same
// shared container as the companion. Every wait is bounded except an explicit listen without --timeout.

#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Help/pellmorctl.h"
#include "MessageProtocol.h"
#include "Support/Container.h"
#include "Support/FileDescriptor.h"
#include "Support/LineFramer.h"
#include "Support/Output.h"
#include "Support/Syscalls.h"

namespace {

using pellmor::FileDescriptor;
using Clock = std::chrono::steady_clock;

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

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

// What the command line asks for: a line to send, or lines to wait for.
struct Request {
  enum class Kind { help, version, send, listen, position } kind = Kind::help;
  std::string line;                // send
  std::optional<long long> count;  // listen
  std::optional<double> timeout;   // listen, position
};

// The options of one command, as getopt_long reads them: --name VALUE, --name=VALUE, and -h.
class CommandOptions {
 public:
  CommandOptions(std::string command, std::vector<std::string> names) : command_(std::move(command)) {
    for (const std::string& name : names)
      names_.push_back(name);
    for (std::size_t i = 0; i < names_.size(); ++i)
      table_.push_back({names_[i].c_str(), required_argument, nullptr, static_cast<int>(firstOption + i)});
    table_.push_back({"help", no_argument, nullptr, 'h'});
    table_.push_back({nullptr, 0, nullptr, 0});
  }

  // Reads the options out of `arguments` (the command's own, the command first); what is left are the
  // positional arguments.
  std::optional<Failure> read(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    optind = 0;  // a fresh scan, permuting again
    opterr = 0;  // the messages below name the command
    const int argc = static_cast<int>(argv.size()) - 1;
    for (int option; (option = getopt_long(argc, argv.data(), ":h", table_.data(), nullptr)) != -1;) {
      if (option == 'h') {
        helpAsked_ = true;
      } else if (option == '?') {
        return usageError(command_ + ": unknown option " + std::string(argv[optind - 1]));
      } else if (option == ':') {
        return usageError(command_ + ": " + std::string(argv[optind - 1]) + " needs a value");
      } else {
        values_.emplace_back(names_[static_cast<std::size_t>(option - firstOption)], optarg);
      }
    }
    positional_.assign(argv.begin() + optind, argv.end() - 1);
    return std::nullopt;
  }

  bool helpAsked() const { return helpAsked_; }
  const std::vector<std::string>& positional() const { return positional_; }

  // The option's number, nothing when absent; a value that is not a finite number is a usage error.
  std::optional<double> number(const std::string& name, std::optional<Failure>& failure) const {
    const std::optional<std::string> text = value(name);
    if (!text) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text->c_str(), &end);
    if (text->empty() || errno != 0 || *end != '\0' || !std::isfinite(parsed)) {
      failure = usageError(command_ + ": --" + name + " needs a number, not '" + *text + "'");
      return std::nullopt;
    }
    return parsed;
  }

 private:
  static constexpr int firstOption = 0x100;  // beyond every short option

  std::optional<std::string> value(const std::string& name) const {
    const auto found =
        std::find_if(values_.rbegin(), values_.rend(), [&](const auto& v) { return v.first == name; });
    return found != values_.rend() ? std::optional<std::string>(found->second) : std::nullopt;
  }

  std::string command_;
  std::vector<std::string> names_;
  std::vector<option> table_;
  std::vector<std::pair<std::string, std::string>> values_;
  std::vector<std::string> positional_;
  bool helpAsked_ = false;
};

std::string withValue(const char* action, const nlohmann::json& value) {
  return nlohmann::json{{"action", action}, {"value", value}}.dump();
}

// The one positional argument of a command, or a usage error naming what it takes.
std::optional<std::string> single(const std::string& command, const CommandOptions& options, const char* what,
                                  std::optional<Failure>& failure) {
  if (options.positional().size() == 1) return options.positional().front();
  failure = usageError(command + " takes exactly one " + what);
  return std::nullopt;
}

// A value the companion accepts for this command; anything else it would ignore, so it is refused here.
std::optional<std::string> oneOf(const std::string& command, const CommandOptions& options,
                                 const std::array<std::string_view, 2>& accepted,
                                 std::optional<Failure>& failure) {
  const std::string what = std::string(accepted[0]) + " or " + std::string(accepted[1]);
  const std::optional<std::string> text = single(command, options, what.c_str(), failure);
  if (!text) return std::nullopt;
  if (std::find(accepted.begin(), accepted.end(), *text) != accepted.end()) return text;
  failure = usageError(command + " takes " + what + ", not '" + *text + "'");
  return std::nullopt;
}

// The line of "send": any JSON object on one line, as the companion decodes it.
std::optional<std::string> rawObject(const CommandOptions& options, std::optional<Failure>& failure) {
  const std::optional<std::string> text = single("send", options, "JSON object", failure);
  if (!text) return std::nullopt;
  if (text->find('\n') == std::string::npos && pellmor::protocol::decodeObject(*text)) return text;
  failure = usageError("send takes one JSON object on one line, which the companion would read; not '" +
                       *text + "'");
  return std::nullopt;
}

std::optional<std::string> showTimer(const CommandOptions& options, std::optional<Failure>& failure) {
  const auto ago = options.number("started-ago", failure);
  const auto at = options.number("started-at", failure);
  const auto hours = options.number("hours", failure);
  if (ago && at) failure = usageError("show-timer: --started-ago and --started-at exclude each other");
  if (!options.positional().empty()) failure = usageError("show-timer takes no arguments but its options");
  if (failure) return std::nullopt;
  nlohmann::json message{{"action", "showTimer"}};
  const double now =
      std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  if (ago) message["startedAt"] = now - *ago;
  if (at) message["startedAt"] = *at;
  if (hours) message["hoursWithoutTimer"] = *hours;
  return message.dump();
}

// The line that a sending command sends; nothing with `failure` set when the arguments do not make one.
std::optional<std::string> messageFor(const std::string& command, const CommandOptions& options,
                                      std::optional<Failure>& failure) {
  static constexpr std::array<std::string_view, 2> booleans{"true", "false"};
  if (command == "send") return rawObject(options, failure);
  if (command == "show-timer") return showTimer(options, failure);
  if (command == "clear-timer") {
    if (options.positional().empty()) return R"({"action":"clearTimer"})";
    failure = usageError("clear-timer takes no arguments");
    return std::nullopt;
  }
  if (command == "set-authenticated" || command == "set-timestamps-mode") {
    const auto value = oneOf(command, options, booleans, failure);
    if (!value) return std::nullopt;
    return withValue(command == "set-authenticated" ? "setAuthenticated" : "setTimestampsMode",
                     *value == "true");
  }
  if (command == "set-time-format") {
    const auto value = oneOf(command, options, pellmor::protocol::timeFormats, failure);
    return value ? std::optional(withValue("setTimeFormat", *value)) : std::nullopt;
  }
  if (command == "set-decimal-symbol") {
    const auto value = oneOf(command, options, pellmor::protocol::decimalSymbols, failure);
    return value ? std::optional(withValue("setDecimalSymbol", *value)) : std::nullopt;
  }
  failure = usageError("unknown command '" + command + "'");
  return std::nullopt;
}

std::vector<std::string> optionNamesOf(const std::string& command) {
  if (command == "show-timer") return {"started-ago", "started-at", "hours"};
  if (command == "listen") return {"count", "timeout"};
  if (command == "position") return {"timeout"};
  return {};
}

// A waiting command's bounds: a count of at least one line, a timeout of no less than zero.
std::optional<Failure> readBounds(const std::string& command, const CommandOptions& options,
                                  Request& request) {
  std::optional<Failure> failure;
  const std::optional<double> count = command == "listen" ? options.number("count", failure) : std::nullopt;
  request.timeout = options.number("timeout", failure);
  if (failure) return failure;
  if (count && (*count < 1 || *count != std::floor(*count)))
    return usageError("listen: --count needs a whole number of lines");
  if (request.timeout && *request.timeout < 0) return usageError(command + ": --timeout cannot be negative");
  if (!options.positional().empty()) return usageError(command + " takes no arguments but its options");
  if (count) request.count = static_cast<long long>(*count);
  return std::nullopt;
}

// Reads the whole command line; a usage error when it asks for nothing the companion would act on.
std::optional<Failure> parse(const std::vector<std::string>& words, Request& request) {
  if (words.empty()) return usageError("no command");
  const std::string& command = words.front();
  if (command == "-h" || command == "--help" || command == "help")
    return request.kind = Request::Kind::help, std::nullopt;
  if (command == "-V" || command == "--version") return request.kind = Request::Kind::version, std::nullopt;
  if (command.starts_with("-")) return usageError("unknown option " + command);
  CommandOptions options(command, optionNamesOf(command));
  if (auto invalid = options.read(words)) return invalid;
  if (options.helpAsked()) return request.kind = Request::Kind::help, std::nullopt;
  if (command == "listen" || command == "position") {
    request.kind = command == "listen" ? Request::Kind::listen : Request::Kind::position;
    return readBounds(command, options, request);
  }
  std::optional<Failure> failure;
  std::optional<std::string> line = messageFor(command, options, failure);
  if (failure) return failure;
  request.kind = Request::Kind::send;
  request.line = *std::move(line);
  return std::nullopt;
}

// Finds the companion's container without making one: a command with no companion changes nothing.
std::optional<std::string> containerPath() {
  return pellmor::appGroupContainerPath(PELLMOR_APP_GROUP_IDENTIFIER, pellmor::ContainerAccess::findExisting);
}

Failure noContainer() {
  return {exitFailure, "no companion: no private shared container for " PELLMOR_APP_GROUP_IDENTIFIER
                       " in the runtime directory (XDG_RUNTIME_DIR)"};
}

// Writes one line into "/from_main.fifo" without ever blocking: with no companion reading, the open
// fails with ENXIO at once.
std::optional<Failure> sendLine(const std::string& container, const std::string& line) {
  const std::string path = container + "/from_main.fifo";
  const FileDescriptor fifo(
      pellmor::retryOnInterrupt([&] { return ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); }));
  if (!fifo) {
    if (errno == ENXIO) return Failure{exitFailure, "no companion is reading " + path};
    if (errno == ENOENT) return Failure{exitFailure, path + " does not exist; is the companion running?"};
    return Failure{exitFailure, "cannot open " + path + ": " + std::strerror(errno)};
  }
  if (!pellmor::isFifo(fifo)) return Failure{exitFailure, path + " is not a FIFO"};
  const std::string framed = line + '\n';
  const ssize_t written =
      pellmor::retryOnInterrupt([&] { return ::write(fifo.get(), framed.data(), framed.size()); });
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
    reader_ = pellmor::openFifo(pellmor::Syscalls::system(), path_, O_RDONLY | O_NONBLOCK);
    if (!reader_) return Failure{exitFailure, "cannot open the FIFO " + path_};
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
      const ssize_t count =
          pellmor::retryOnInterrupt([&] { return ::read(reader_.get(), buffer.data(), buffer.size()); });
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

int listen(const std::string& container, const Request& request) {
  Listener listener(container);
  if (auto opened = listener.open()) return fail(*opened);
  long long seen = 0;
  const bool finished = listener.run(deadlineAfter(request.timeout), [&](std::string_view line) {
    pellmor::printLine(line);
    return !request.count || ++seen < *request.count;
  });
  if (finished || !request.count) return EXIT_SUCCESS;
  return fail({exitFailure, "timed out after " + std::to_string(seen) + " of " +
                                std::to_string(*request.count) + " lines"});
}

int position(const std::string& container, const Request& request) {
  const double timeout = request.timeout.value_or(2.0);
  Listener listener(container);  // listen first, so the answer cannot be missed
  if (auto opened = listener.open()) return fail(*opened);
  if (auto sent = sendLine(container, R"({"action":"requestMenubarPosition"})")) return fail(*sent);
  const bool answered = listener.run(deadlineAfter(timeout), [](std::string_view line) {
    const auto message = pellmor::protocol::decodeObject(line);
    const bool isAnswer = message && message->value("action", "") == "menubarPosition";
    if (isAnswer) pellmor::printLine(line);
    return !isAnswer;
  });
  if (answered) return EXIT_SUCCESS;
  return fail({exitFailure, "no menubarPosition answer within " + formatSeconds(timeout) +
                                " s (no companion, or its status item has no position)"});
}

int run(const std::vector<std::string>& words) {
  Request request;
  if (auto invalid = parse(words, request)) return fail(*invalid);
  if (request.kind == Request::Kind::help) {
    std::fwrite(pellmor::help::pellmorctl.data(), 1, pellmor::help::pellmorctl.size(), stdout);
    return EXIT_SUCCESS;
  }
  if (request.kind == Request::Kind::version) {
    pellmor::printLine("pellmorctl " PELLMOR_VERSION);
    return EXIT_SUCCESS;
  }
  const std::optional<std::string> container = containerPath();
  if (!container) return fail(noContainer());
  if (request.kind == Request::Kind::listen) return listen(*container, request);
  if (request.kind == Request::Kind::position) return position(*container, request);
  if (auto sent = sendLine(*container, request.line)) return fail(*sent);
  return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  // A companion that closes its end between our open and write must give EPIPE, not kill us.
  std::signal(SIGPIPE, SIG_IGN);
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
