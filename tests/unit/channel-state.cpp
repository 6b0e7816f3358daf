// The channel's observable state and the incoming message table, driven through processLine and the main
// thread's queue as the reader drives them.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "FIFOManager.h"
#include "integration/channel-fixture.h"

namespace pellmor {
namespace {

using testing::ChangeRecorder;
using testing::ManualMainThread;
using testing::TemporaryDirectory;

struct State {
  bool authenticated = true;
  std::optional<double> timerStartedAt;
  std::optional<double> hoursWithoutTimer;
  bool timestampsMode = false;
  std::string timeFormat = "hours_minutes";
  std::string decimalSymbol = ".";
  friend bool operator==(const State&, const State&) = default;
  friend std::ostream& operator<<(std::ostream& out, const State& state) {
    const auto optional = [](std::optional<double> value) { return value ? std::to_string(*value) : "none"; };
    return out << "{authenticated " << state.authenticated << ", timerStartedAt "
               << optional(state.timerStartedAt) << ", hoursWithoutTimer "
               << optional(state.hoursWithoutTimer) << ", timestampsMode " << state.timestampsMode
               << ", timeFormat " << state.timeFormat << ", decimalSymbol " << state.decimalSymbol << "}";
  }
};

State stateOf(const FIFOManager& channel) {
  return {channel.authenticated(),  channel.timerStartedAt(), channel.hoursWithoutTimer(),
          channel.timestampsMode(), channel.timeFormat(),     channel.decimalSymbol()};
}

class ChannelTest : public ::testing::Test {
 protected:
  TemporaryDirectory container;
  ManualMainThread mainThread;
  FIFOManager channel{testing::environmentFor(container.path(), mainThread)};
};

TEST_F(ChannelTest, FreshInstanceHoldsTheDefaults) {
  EXPECT_EQ(stateOf(channel), State{});
  EXPECT_TRUE(channel.isConnected());
  EXPECT_TRUE(channel.isReading());
  EXPECT_EQ(channel.toMainPath(), container.path() + "/to_main.fifo");
  EXPECT_EQ(channel.fromMainPath(), container.path() + "/from_main.fifo");
}

struct IncomingCase {
  const char* name;
  std::string line;
  State expected;
  std::size_t signals;
  std::string printed;
};

State with(std::function<void(State&)> change) {
  State state;
  change(state);
  return state;
}

class Incoming : public ChannelTest, public ::testing::WithParamInterface<IncomingCase> {};

TEST_P(Incoming, AppliesTheLine) {
  ChangeRecorder recorder(channel);
  ::testing::internal::CaptureStdout();
  channel.processLine(GetParam().line);
  mainThread.drain();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), GetParam().printed);
  EXPECT_EQ(stateOf(channel), GetParam().expected);
  EXPECT_EQ(recorder.count(), GetParam().signals);
}

const State defaults;

INSTANTIATE_TEST_SUITE_P(
    Table, Incoming,
    ::testing::Values(
        IncomingCase{"showTimer_both", R"({"action":"showTimer","startedAt":0,"hoursWithoutTimer":1.5})",
                     with([](State& s) { s.timerStartedAt = 0, s.hoursWithoutTimer = 1.5; }), 2, ""},
        IncomingCase{"showTimer_fraction_kept", R"({"action":"showTimer","startedAt":1700000000.125})",
                     with([](State& s) { s.timerStartedAt = 1700000000.125; }), 2, ""},
        IncomingCase{"showTimer_negative_and_zero",
                     R"({"action":"showTimer","startedAt":-5,"hoursWithoutTimer":0})",
                     with([](State& s) { s.timerStartedAt = -5, s.hoursWithoutTimer = 0; }), 2, ""},
        IncomingCase{"showTimer_neither_key", R"({"action":"showTimer"})", defaults, 2, ""},
        IncomingCase{"showTimer_startedAt_string",
                     R"({"action":"showTimer","startedAt":"1700000000","hoursWithoutTimer":2})",
                     with([](State& s) { s.hoursWithoutTimer = 2; }), 2, ""},
        IncomingCase{"showTimer_wrong_types",
                     R"({"action":"showTimer","startedAt":true,"hoursWithoutTimer":null})", defaults, 2, ""},
        IncomingCase{"showTimer_array_and_object",
                     R"({"action":"showTimer","startedAt":[1],"hoursWithoutTimer":{}})", defaults, 2, ""},
        IncomingCase{"showTimer_wrong_case_key",
                     R"({"action":"showTimer","StartedAt":5,"hoursWithoutTimer":3})",
                     with([](State& s) { s.hoursWithoutTimer = 3; }), 2, ""},
        // The JSON layer refuses a number outside the double range, so the whole line is dropped.
        IncomingCase{"showTimer_overflowing_number", R"({"action":"showTimer","startedAt":1e400})", defaults,
                     0, ""},
        IncomingCase{"clearTimer", R"({"action":"clearTimer"})", defaults, 2, ""},
        IncomingCase{"setAuthenticated_false", R"({"action":"setAuthenticated","value":false})",
                     with([](State& s) { s.authenticated = false; }), 1, ""},
        IncomingCase{"setAuthenticated_same_value", R"({"action":"setAuthenticated","value":true})", defaults,
                     1, ""},
        IncomingCase{"setAuthenticated_string", R"({"action":"setAuthenticated","value":"false"})", defaults,
                     0, ""},
        IncomingCase{"setAuthenticated_number", R"({"action":"setAuthenticated","value":0})", defaults, 0,
                     ""},
        IncomingCase{"setAuthenticated_missing", R"({"action":"setAuthenticated"})", defaults, 0, ""},
        IncomingCase{"setAuthenticated_wrong_case_key", R"({"action":"setAuthenticated","Value":false})",
                     defaults, 0, ""},
        IncomingCase{"setTimestampsMode_true", R"({"action":"setTimestampsMode","value":true})",
                     with([](State& s) { s.timestampsMode = true; }), 1, ""},
        IncomingCase{"setTimestampsMode_string", R"({"action":"setTimestampsMode","value":"true"})", defaults,
                     0, ""},
        IncomingCase{"setTimestampsMode_null", R"({"action":"setTimestampsMode","value":null})", defaults, 0,
                     ""},
        IncomingCase{"setTimeFormat_decimal", R"({"action":"setTimeFormat","value":"decimal"})",
                     with([](State& s) { s.timeFormat = "decimal"; }), 1, ""},
        IncomingCase{"setTimeFormat_same_value", R"({"action":"setTimeFormat","value":"hours_minutes"})",
                     defaults, 1, ""},
        IncomingCase{"setTimeFormat_capitalised", R"({"action":"setTimeFormat","value":"Decimal"})", defaults,
                     0, ""},
        IncomingCase{"setTimeFormat_padded", R"({"action":"setTimeFormat","value":"decimal "})", defaults, 0,
                     ""},
        IncomingCase{"setTimeFormat_empty", R"({"action":"setTimeFormat","value":""})", defaults, 0, ""},
        IncomingCase{"setTimeFormat_number", R"({"action":"setTimeFormat","value":1})", defaults, 0, ""},
        IncomingCase{"setTimeFormat_missing", R"({"action":"setTimeFormat"})", defaults, 0, ""},
        IncomingCase{"setTimeFormat_extra_keys_ignored",
                     R"({"action":"setTimeFormat","value":"decimal","hoursWithoutTimer":3,"x":[1]})",
                     with([](State& s) { s.timeFormat = "decimal"; }), 1, ""},
        IncomingCase{"setTimeFormat_escaped_action", R"({"action":"set\u0054imeFormat","value":"decimal"})",
                     with([](State& s) { s.timeFormat = "decimal"; }), 1, ""},
        IncomingCase{"setDecimalSymbol_comma", R"({"action":"setDecimalSymbol","value":","})",
                     with([](State& s) { s.decimalSymbol = ","; }), 1, ""},
        IncomingCase{"setDecimalSymbol_two_characters", R"({"action":"setDecimalSymbol","value":".."})",
                     defaults, 0, ""},
        IncomingCase{"setDecimalSymbol_empty", R"({"action":"setDecimalSymbol","value":""})", defaults, 0,
                     ""},
        IncomingCase{"setDecimalSymbol_number", R"({"action":"setDecimalSymbol","value":44})", defaults, 0,
                     ""},
        IncomingCase{"requestMenubarPosition_without_position", R"({"action":"requestMenubarPosition"})",
                     defaults, 0, ""},
        IncomingCase{"unknown_action_differs_in_case", R"({"action":"ShowTimer","startedAt":1})", defaults, 0,
                     "Received unknown action: {\"action\":\"ShowTimer\",\"startedAt\":1}\n"},
        IncomingCase{"unknown_action_lower_case", R"({"action":"cleartimer"})", defaults, 0,
                     "Received unknown action: {\"action\":\"cleartimer\"}\n"},
        IncomingCase{"unknown_action_empty", R"({"action":""})", defaults, 0,
                     "Received unknown action: {\"action\":\"\"}\n"},
        IncomingCase{"outgoing_action_is_unknown_here", R"({"action":"toggleApp"})", defaults, 0,
                     "Received unknown action: {\"action\":\"toggleApp\"}\n"},
        IncomingCase{"no_action", R"({"startedAt":1})", defaults, 0,
                     "Received message without action: {\"startedAt\":1}\n"},
        IncomingCase{"action_key_wrong_case", R"({"Action":"clearTimer"})", defaults, 0,
                     "Received message without action: {\"Action\":\"clearTimer\"}\n"},
        IncomingCase{"action_number", R"({"action":5})", defaults, 0,
                     "Received message without action: {\"action\":5}\n"},
        IncomingCase{"action_null", R"({"action":null,"value":true})", defaults, 0,
                     "Received message without action: {\"action\":null,\"value\":true}\n"},
        IncomingCase{"empty_object", "{}", defaults, 0, "Received message without action: {}\n"},
        IncomingCase{"array", R"([{"action":"clearTimer"}])", defaults, 0, ""},
        IncomingCase{"string", R"("showTimer")", defaults, 0, ""},
        IncomingCase{"empty_line", "", defaults, 0, ""},
        IncomingCase{"not_json", "showTimer", defaults, 0, ""},
        IncomingCase{"trailing_garbage", R"({"action":"clearTimer"}x)", defaults, 0, ""},
        IncomingCase{"carriage_return_is_whitespace", "{\"action\":\"clearTimer\"}\r", defaults, 2, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChannelTest, NonFiniteNumbersCountAsNotANumber) {
  const double infinity = std::numeric_limits<double>::infinity();
  const Message message = {{"action", "showTimer"},
                           {"startedAt", infinity},
                           {"hoursWithoutTimer", std::numeric_limits<double>::quiet_NaN()}};
  channel.setTimerStartedAt(1);
  channel.setHoursWithoutTimer(1);
  channel.handleMessage(message);
  EXPECT_EQ(channel.timerStartedAt(), std::nullopt);
  EXPECT_EQ(channel.hoursWithoutTimer(), std::nullopt);
}

TEST_F(ChannelTest, RendersInvalidTextWithReplacementCharacters) {
  ::testing::internal::CaptureStdout();
  channel.handleMessage(Message{{"action", std::string("bad\xFF")}});
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Received unknown action: {\"action\":\"bad\xEF\xBF\xBD\"}\n");
}

TEST_F(ChannelTest, LinesTakeEffectInArrivalOrder) {
  channel.processLine(R"({"action":"setTimeFormat","value":"decimal"})");
  channel.processLine(R"({"action":"showTimer","startedAt":10})");
  std::vector<std::string> formatsSeenAtTimerChange;
  const Subscription subscription =
      channel.objectWillChange().subscribe([&] { formatsSeenAtTimerChange.push_back(channel.timeFormat()); });
  EXPECT_EQ(mainThread.drain(), 2);
  EXPECT_EQ(formatsSeenAtTimerChange, (std::vector<std::string>{"hours_minutes", "decimal", "decimal"}));
}

// Each setter emits before it stores: a subscriber reading the property during the signal sees the old
// value, and every assignment emits exactly once, equal value or not.
struct SetterCase {
  const char* name;
  std::function<void(FIFOManager&)> assign;
  std::function<std::string(const FIFOManager&)> read;
  std::string before;
  std::string after;
};

std::string text(std::optional<double> value) {
  return value ? std::to_string(*value) : "none";
}

class SignalBeforeStore : public ChannelTest, public ::testing::WithParamInterface<SetterCase> {};

TEST_P(SignalBeforeStore, SubscriberReadsTheOldValue) {
  std::vector<std::string> readDuringSignal;
  const Subscription subscription =
      channel.objectWillChange().subscribe([&] { readDuringSignal.push_back(GetParam().read(channel)); });
  GetParam().assign(channel);
  EXPECT_EQ(readDuringSignal, std::vector<std::string>{GetParam().before});
  EXPECT_EQ(GetParam().read(channel), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Setters, SignalBeforeStore,
    ::testing::Values(
        SetterCase{"timeFormat", [](FIFOManager& c) { c.setTimeFormat("decimal"); },
                   [](const FIFOManager& c) { return c.timeFormat(); }, "hours_minutes", "decimal"},
        SetterCase{"decimalSymbol", [](FIFOManager& c) { c.setDecimalSymbol(","); },
                   [](const FIFOManager& c) { return c.decimalSymbol(); }, ".", ","},
        SetterCase{"authenticated_same_value", [](FIFOManager& c) { c.setAuthenticated(true); },
                   [](const FIFOManager& c) { return std::to_string(c.authenticated()); }, "1", "1"},
        SetterCase{"timestampsMode", [](FIFOManager& c) { c.setTimestampsMode(true); },
                   [](const FIFOManager& c) { return std::to_string(c.timestampsMode()); }, "0", "1"},
        SetterCase{"timerStartedAt", [](FIFOManager& c) { c.setTimerStartedAt(2.5); },
                   [](const FIFOManager& c) { return text(c.timerStartedAt()); }, "none", "2.500000"},
        SetterCase{"hoursWithoutTimer", [](FIFOManager& c) { c.setHoursWithoutTimer(0.25); },
                   [](const FIFOManager& c) { return text(c.hoursWithoutTimer()); }, "none", "0.250000"},
        SetterCase{"isConnected_same_value", [](FIFOManager& c) { c.setIsConnected(true); },
                   [](const FIFOManager& c) { return std::to_string(c.isConnected()); }, "1", "1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChannelTest, ReleasedSubscriptionIsNotCalled) {
  int calls = 0;
  Subscription subscription = channel.objectWillChange().subscribe([&] { ++calls; });
  channel.setAuthenticated(false);
  subscription.reset();
  channel.setAuthenticated(true);
  EXPECT_EQ(calls, 1);
}

TEST(ChannelInstances, AreIndependentAndStopCleanly) {
  TemporaryDirectory first;
  TemporaryDirectory second;
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
