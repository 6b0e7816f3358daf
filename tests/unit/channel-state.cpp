// The channel's observable state and the incoming message table, driven through processLine and the main
// thread's queue as the reader drives them.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <tuple>

#include "FIFOManager.h"
#include "support/Channel.h"

namespace pellmor {
namespace {

using testing::ManualMainThread;
using testing::TempDirectory;

// The channel's observable properties, with the defaults of a fresh instance.
struct State {
  bool authenticated = true;
  std::optional<double> startedAt = std::nullopt;
  std::optional<double> hours = std::nullopt;
  bool timestamps = false;
  std::string format = "hours_minutes";
  std::string symbol = ".";
  bool connected = true;
  auto fields() const {
    return std::tie(authenticated, startedAt, hours, timestamps, format, symbol, connected);
  }
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
// prints. Every setter signals before it stores, once per assignment, equal value or not: the first
// signal finds the fresh channel's state.
TEST(Incoming, EveryKindOfLine) {
  const std::size_t deepest = protocol::maxNesting - 1;
  std::string nestedObjects;  // an action-less message whose only value is 85,000 nested objects
  for (int level = 0; level < 85'000; ++level)
    nestedObjects += R"({"a":)";
  nestedObjects += "1" + std::string(85'000, '}');
  const struct {
    std::string line;
    std::size_t signals;
    State expected;
    std::string printed = "";
  } cases[] = {
      {R"({"action":"showTimer","startedAt":-5,"hoursWithoutTimer":1.5})",
       2,
       {.startedAt = -5, .hours = 1.5}},
      {R"({"action":"showTimer","startedAt":"1700000000","hoursWithoutTimer":2})", 2, {.hours = 2}},
      {R"({"action":"showTimer","StartedAt":5,"hoursWithoutTimer":null})", 2, {}},
      // The JSON layer refuses a number outside the double range, so the whole line is dropped.
      {R"({"action":"showTimer","startedAt":1e400})", 0, {}},
      {"{\"action\":\"clearTimer\"}\r", 2, {}},
      {R"({"action":"setAuthenticated","value":false})", 1, {.authenticated = false}},
      {R"({"action":"setAuthenticated","value":"false"})", 0, {}},
      {R"({"action":"setTimestampsMode","value":true})", 1, {.timestamps = true}},
      {R"({"action":"set\u0054imeFormat","value":"decimal","x":[1]})", 1, {.format = "decimal"}},
      {R"({"action":"setTimeFormat","value":"Decimal"})", 0, {}},
      {R"({"action":"setDecimalSymbol","value":","})", 1, {.symbol = ","}},
      {R"({"action":"setDecimalSymbol","value":".."})", 0, {}},
      {"{\"action\":\"bogus\xC0\xAE\"}", 0, {}},          // ill-formed UTF-8: dropped, not reported
      {R"({"action":"requestMenubarPosition"})", 0, {}},  // no position to answer with
      {R"({"action":"toggleApp"})", 0, {}, "Received unknown action: {\"action\":\"toggleApp\"}\n"},
      {R"({"Action":"clearTimer"})", 0, {}, "Received message without action: {\"Action\":\"clearTimer\"}\n"},
      {R"([{"action":"clearTimer"}])", 0, {}},
      {R"({"action":"clearTimer"}x)", 0, {}},
      // Nesting within the bound is a message like any other; deeper, or absurdly deep, drops the line.
      {nestedMessage(deepest), 1, {.format = "decimal"}},
      {nestedMessage(deepest + 1), 0, {}},
      {nestedMessage(85'000), 0, {}},
      {nestedObjects, 0, {}},
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

TEST(ChannelInstances, AreIndependentAndStopCleanly) {
  TempDirectory first;
  TempDirectory second;
  ManualMainThread mainThread;
  FIFOManager one(testing::environmentFor(first.path(), mainThread));
  {
    FIFOManager two(testing::environmentFor(second.path(), mainThread));
    two.processLine(R"({"action":"setTimeFormat","value":"decimal"})");
    two.sendToggleAppMessage();  // nobody reads: the write task waits in its open until stop()
    two.stop();
    two.stop();
    EXPECT_FALSE(two.isReading());
  }
  // The task posted by the destroyed channel is dropped instead of touching it.
  EXPECT_EQ(mainThread.drain(), 1);
  EXPECT_EQ(one.timeFormat(), "hours_minutes");
  EXPECT_TRUE(one.isReading());
}

}  // namespace
}  // namespace pellmor
