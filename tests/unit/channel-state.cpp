// The channel's observable state and the incoming message table, driven through processLine and the main
// thread's queue as the reader drives them.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "FIFOManager.h"
#include "support/Channel.h"

namespace pellmor {
namespace {

using testing::ManualMainThread;

// The channel's observable properties, with the defaults of a fresh instance.
struct State {
  bool authenticated = true;
  std::optional<double> startedAt = std::nullopt;
  std::optional<double> hours = std::nullopt;
  bool timestamps = false;
  std::string format = "hours_minutes";
  std::string symbol = ".";
  auto fields() const { return std::tie(authenticated, startedAt, hours, timestamps, format, symbol); }
  friend bool operator==(const State& a, const State& b) { return a.fields() == b.fields(); }
  friend void PrintTo(const State& s, std::ostream* out) { *out << ::testing::PrintToString(s.fields()); }
};

State stateOf(const FIFOManager& channel) {
  return {channel.authenticated(),  channel.timerStartedAt(), channel.hoursWithoutTimer(),
          channel.timestampsMode(), channel.timeFormat(),     channel.decimalSymbol()};
}

// A decimal-format message carrying `depth` nested arrays under an extra key.
std::string nestedMessage(std::size_t depth) {
  return R"({"action":"setTimeFormat","value":"decimal","x":)" + std::string(depth, '[') +
         std::string(depth, ']') + "}";
}

// Each incoming line on a fresh channel: the state it leaves, the change signals it emits and what it
// prints. Every setter signals before it stores: the first signal finds the fresh channel's state.
TEST(Incoming, EveryKindOfLine) {
  const std::size_t deepest = protocol::maxNesting - 1;
  const struct {
    std::string line;
    std::size_t signals;
    State expected;
    std::string printed = "";
  } cases[] = {
      {R"({"action":"showTimer","startedAt":-5,"hoursWithoutTimer":1.5})",
       2,
       {.startedAt = -5, .hours = 1.5}},
      {R"({"action":"clearTimer"})", 2, {}},
      {R"({"action":"setAuthenticated","value":false})", 1, {.authenticated = false}},
      {R"({"action":"setAuthenticated","value":"false"})", 0, {}},
      {R"({"action":"setTimestampsMode","value":true})", 1, {.timestamps = true}},
      {R"({"action":"showTimer","startedAt":"now","hoursWithoutTimer":2})", 2, {.hours = 2}},
      // A number beyond a double is not JSON the channel can read: the line is dropped.
      {R"({"action":"showTimer","startedAt":1e400,"hoursWithoutTimer":2})", 0, {}},
      {R"({"action":"setDecimalSymbol","value":","})", 1, {.symbol = ","}},
      {R"({"action":"setTimeFormat","value":"hours_minutes"})", 1, {}},
      // Only the two values of each are taken, exactly.
      {R"({"action":"setTimeFormat","value":"Decimal"})", 0, {}},
      {R"({"action":"setTimeFormat","value":"decimal "})", 0, {}},
      {R"({"action":"setDecimalSymbol","value":";"})", 0, {}},
      {R"({"action":"setDecimalSymbol","value":""})", 0, {}},
      {R"({"action":"setDecimalSymbol","value":".,"})", 0, {}},
      // A message is an object: an array of one is dropped without a word.
      {R"([{"action":"clearTimer"}])", 0, {}},
      {R"({"action":"toggleApp"})", 0, {}, "Received unknown action: {\"action\":\"toggleApp\"}\n"},
      {R"({"Action":"clearTimer"})", 0, {}, "Received message without action: {\"Action\":\"clearTimer\"}\n"},
      {R"({"action":"clearTimer"}x)", 0, {}},
      // Nesting within the bound is a message like any other; deeper, or absurdly deep, drops the line.
      {nestedMessage(deepest), 1, {.format = "decimal"}},
      {nestedMessage(deepest + 1), 0, {}},
      {nestedMessage(85'000), 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 200));
    ManualMainThread mainThread;
    testing::TempChannel temp{mainThread};
    FIFOManager& channel = temp.fifo();
    std::vector<State> seenDuringSignals;
    const Subscription subscription =
        channel.objectWillChange().subscribe([&] { seenDuringSignals.push_back(stateOf(channel)); });
    ::testing::internal::CaptureStdout();
    channel.processLine(c.line);
    mainThread.drain();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(stateOf(channel), c.expected);
    EXPECT_EQ(seenDuringSignals.size(), c.signals);
    if (!seenDuringSignals.empty()) {
      EXPECT_EQ(seenDuringSignals.front(), State{});
    }
  }
}

// The task posted by a destroyed channel is dropped instead of touching it.
TEST(ChannelInstances, TaskOfADestroyedChannelIsDropped) {
  ManualMainThread mainThread;
  testing::TempChannel survivor{mainThread};
  {
    testing::TempChannel destroyed{mainThread};
    destroyed.fifo().processLine(R"({"action":"setTimeFormat","value":"decimal"})");
  }
  EXPECT_EQ(mainThread.drain(), 1);
  EXPECT_EQ(survivor.fifo().timeFormat(), "hours_minutes");
}

}  // namespace
}  // namespace pellmor
