// The running total: the arithmetic of both formats, the decimal symbol, rounding boundaries, large and
// unrepresentable totals; and when the label refreshes, on a clock and timers the test moves.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ElapsedTimeLabel.h"
#include "support/Fakes.h"

namespace pellmor {
namespace {

// The largest hour count "%d" takes, in seconds.
constexpr double maximumHours = 2147483647.0 * 3600;

// Minutes round to the nearest with halves up (3930 s is 65.5 min). Decimal hours round as the C
// conversion does: 18 s is 0.005 h, a hair above the half in binary; 450 s and 1350 s are 0.125 h and
// 0.375 h exactly, whose halves go to the even digit. Only exactly "decimal" selects them, and its symbol
// replaces the point literally. maximumHours + 3570 rounds up to an hour count "%d" cannot take, 9.3e18
// is beyond a signed 64-bit count of seconds. The process locale writes "," for the point; the text must
// not follow it.
TEST(ElapsedTimeFormat, FormatsEachTotalWhateverTheProcessLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "the set-up installs de_DE.UTF-8";
  EXPECT_STREQ(std::localeconv()->decimal_point, ",");
  const struct {
    std::string timeFormat;
    std::string symbol;
    std::vector<std::pair<double, std::string>> totals;
  } table[] = {
      {"hours_minutes", ",", {{29.99, "0:00"}, {3930, "1:06"}, {maximumHours + 3569, "2147483647:59"}}},
      {"hours_minutes", ".", {{-5400, "0:00"}, {maximumHours + 3570, "-:--"}, {9.3e18, "-:--"}}},
      {"Decimal", ".", {{3930, "1:06"}, {-std::numeric_limits<double>::infinity(), "-:--"}}},
      {"decimal",
       ".",
       {{-0.0, "0.00"}, {18, "0.01"}, {450, "0.12"}, {1350, "0.38"}, {3.6e21, "1000000000000000000.00"}}},
      {"decimal", " h ", {{3930, "1 h 09"}, {std::numeric_limits<double>::quiet_NaN(), "-:--"}}},
  };
  for (const auto& row : table) {
    for (const auto& [seconds, expected] : row.totals)
      EXPECT_EQ(ElapsedTimeLabel::format(seconds, row.timeFormat, row.symbol), expected)
          << seconds << " s as \"" << row.timeFormat << "\" with \"" << row.symbol << '"';
  }
  std::setlocale(LC_ALL, previous.c_str());
}

constexpr double t0 = 1'700'000'000.0;  // a wall-clock instant with a fraction-free second

using Inputs = ElapsedTimeLabel::Inputs;
const Inputs minutes{.startTime = t0, .timeFormat = "hours_minutes", .decimalSymbol = "."};
const Inputs decimal{.startTime = t0, .timeFormat = "decimal", .decimalSymbol = ","};

// What a refresh at `now` shows.
std::string textAt(const Inputs& inputs, double now) {
  return ElapsedTimeLabel::format(
      ElapsedTimeLabel::elapsedSeconds(inputs.startTime, inputs.hoursWithoutTimer, now), inputs.timeFormat,
      inputs.decimalSymbol);
}

Inputs with(Inputs inputs, std::optional<double> startTime, double hours = 0) {
  inputs.startTime = startTime;
  inputs.hoursWithoutTimer = hours;
  return inputs;
}

// The instant the text changes is the first double at which a refresh shows another text. Minutes change
// at the half minute itself (3930 s is 65.5 min, halves away from zero); decimal hours at 18 s itself
// (0.005 h is a hair above the half in binary) but only just after 450 s (0.125 h exactly goes to the even
// 0.12). A start time in the future counts from zero. The largest hour count "%d" takes turns into "-:--"
// after a second, and then nothing changes any more, as without a start time.
TEST(ElapsedTimeNextChange, IsTheFirstInstantAtWhichTheTextDiffers) {
  const double justAfter450 = std::nextafter(t0 + 450, INFINITY);
  const struct {
    Inputs inputs;
    double now;
    std::optional<double> expected;
    std::string next;
  } table[] = {
      {minutes, t0 + 3929, t0 + 3930, "1:06"},
      {minutes, t0 + 3930, t0 + 3990, "1:07"},
      {with(minutes, t0 + 90), t0, t0 + 120, "0:01"},
      {decimal, t0 + 17.5, t0 + 18, "0,01"},
      {decimal, t0 + 440, justAfter450, "0,13"},
      {with(minutes, t0, maximumHours / 3600 + 3569.0 / 3600), t0, t0 + 1, "-:--"},
      {with(minutes, t0, maximumHours / 3600 + 3570.0 / 3600), t0, std::nullopt, ""},
      {with(decimal, std::nullopt, 2), t0, std::nullopt, ""},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(textAt(row.inputs, row.now) + " at t0 + " + std::to_string(row.now - t0));
    const std::optional<double> change = ElapsedTimeLabel::nextTextChange(row.inputs, row.now);
    ASSERT_EQ(change.has_value(), row.expected.has_value());
    if (!change) continue;
    EXPECT_NEAR(*change - t0, *row.expected - t0, 1e-3);  // the hour-limit row counts in 2^-11 s
    EXPECT_EQ(textAt(row.inputs, *change), row.next);
    EXPECT_EQ(textAt(row.inputs, std::nextafter(*change, -INFINITY)), textAt(row.inputs, row.now));
  }
}

class ElapsedTimeRefresh : public ::testing::Test {
 protected:
  ElapsedTimeLabel& show(const Inputs& inputs) {
    label = std::make_unique<ElapsedTimeLabel>(inputs, clock, timers, [this] { ++textChanges; });
    label->appear();
    return *label;
  }
  // Moves the clock in steps of `step` seconds for `seconds`; at every step the label must show what a
  // refresh at that very instant shows.
  void expectCurrentThroughout(const Inputs& inputs, double seconds, double step) {
    const double end = clock.now() + seconds;
    for (double now = clock.now() + step; now <= end; now += step) {
      timers.runUntil(clock, now);
      ASSERT_EQ(label->elapsedTime(), textAt(inputs, now)) << "at t0 + " << now - t0;
    }
  }

  testing::FakeClock clock{t0};
  testing::FakeTickerFactory timers;
  std::unique_ptr<ElapsedTimeLabel> label;
  int textChanges = 0;
};

// Never an older text than a refresh at that moment would show, and one wake-up per change of text:
// minutes once a minute, decimal hours every 36 s, a start time in the future from the half minute on,
// and without a start time never.
TEST_F(ElapsedTimeRefresh, WakesExactlyWhenTheTextChanges) {
  const struct {
    Inputs inputs;
    int changesIn300Seconds;
  } table[] = {
      {with(minutes, t0 - 3570), 5},
      {with(decimal, t0 - 17, 1), 9},
      {with(minutes, t0 + 100), 3},
      {with(minutes, std::nullopt, 1.5), 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.inputs.timeFormat);
    clock.set(t0);
    show(row.inputs);
    const int firingsBefore = timers.firings();
    textChanges = 0;
    expectCurrentThroughout(row.inputs, 300, 0.125);
    EXPECT_EQ(textChanges, row.changesIn300Seconds);
    EXPECT_EQ(timers.firings() - firingsBefore, row.changesIn300Seconds);
    EXPECT_EQ(timers.runningCount(), row.inputs.startTime ? 1u : 0u);
  }
}

// A new start time alone shows within a second (at once would skip the refresh a rebuild must not
// cause); a pending change that comes sooner keeps its instant. A start time that goes away leaves the
// text as it is, with nothing armed; new hours, format or symbol recompute at once.
TEST_F(ElapsedTimeRefresh, PicksUpNewInputsWithinASecond) {
  show(with(minutes, t0 - 3570));  // 1:00 now, 1:01 at t0 + 60
  timers.runUntil(clock, t0 + 59.5);
  label->update(with(minutes, t0 - 7200));
  timers.runUntil(clock, t0 + 59.9);
  EXPECT_EQ(label->elapsedTime(), "1:00");
  timers.runUntil(clock, t0 + 60);
  EXPECT_EQ(label->elapsedTime(), "2:01");
  label->update(with(minutes, t0 - 60));
  timers.runUntil(clock, t0 + 60.999);
  EXPECT_EQ(label->elapsedTime(), "2:01");
  timers.runUntil(clock, t0 + 61);
  EXPECT_EQ(label->elapsedTime(), "0:02");
  expectCurrentThroughout(with(minutes, t0 - 60), 120, 0.25);

  label->update(with(minutes, std::nullopt));
  EXPECT_EQ(timers.runningCount(), 0u);
  timers.runUntil(clock, t0 + 600);
  EXPECT_EQ(label->elapsedTime(), "0:04");
  label->update(with(decimal, std::nullopt));
  EXPECT_EQ(label->elapsedTime(), "0,00");
}

// NTP, the user or a resume from suspend sets the wall clock: the text follows at once, both ways, and the
// next change comes at its new instant.
TEST_F(ElapsedTimeRefresh, FollowsAWallClockThatIsSet) {
  show(with(minutes, t0 - 3930));
  EXPECT_EQ(label->elapsedTime(), "1:06");
  timers.setWallClock(clock, t0 - 600);
  EXPECT_EQ(label->elapsedTime(), "0:56");
  expectCurrentThroughout(with(minutes, t0 - 3930), 120, 0.25);
  timers.setWallClock(clock, t0 + 7200);
  EXPECT_EQ(label->elapsedTime(), "3:06");
  expectCurrentThroughout(with(minutes, t0 - 3930), 120, 0.25);
}

}  // namespace
}  // namespace pellmor
