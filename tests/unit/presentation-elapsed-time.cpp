// The running total: the arithmetic of both formats, the decimal symbol, rounding boundaries, large and
// unrepresentable totals; and the label's life in the view tree: inserted at "0:00", computed when shown,
// refreshed by its one-second ticker while a timer runs, recomputed when a rebuild changes what it shows,
// stopped when removed.

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ElapsedTimeLabel.h"
#include "support/Fakes.h"

namespace pellmor {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
// The largest hour count "%d" takes, in seconds.
constexpr double maximumHours = 2147483647.0 * 3600;

// Minutes round to the nearest with halves up (3930 s is 65.5 min) and hours keep counting past a day.
// Decimal hours round as the C conversion does: 18 s is 0.005 h, a hair above the half in binary; 450 s
// and 1350 s are 0.125 h and 0.375 h exactly, whose halves go to the even digit. Only exactly "decimal"
// selects them, and its symbol replaces the point literally. Beyond the conversions: maximumHours + 3570
// rounds up to an hour count "%d" cannot take, 9.3e18 is beyond a signed 64-bit count of seconds.
TEST(ElapsedTimeFormat, FormatsEachTotal) {
  const struct {
    std::string timeFormat;
    std::string symbol;
    std::vector<std::pair<double, std::string>> totals;
  } table[] = {
      {"hours_minutes", ",", {{29.99, "0:00"}, {3930, "1:06"}, {maximumHours + 3569, "2147483647:59"}}},
      {"hours_minutes", ".", {{-0.0, "0:00"}, {-5400, "0:00"}, {maximumHours + 3570, "-:--"}}},
      {"Decimal", ".", {{3930, "1:06"}, {-infinity, "-:--"}}},
      {"decimal ", ".", {{3930, "1:06"}, {9.3e18, "-:--"}}},
      {"decimal", ".", {{18, "0.01"}, {450, "0.12"}, {1350, "0.38"}, {3.6e21, "1000000000000000000.00"}}},
      {"decimal", " h ", {{3930, "1 h 09"}, {-90, "0 h 00"}, {infinity, "-:--"}}},
      {"decimal", ",", {{std::numeric_limits<double>::quiet_NaN(), "-:--"}}},
  };
  for (const auto& row : table) {
    for (const auto& [seconds, expected] : row.totals)
      EXPECT_EQ(ElapsedTimeLabel::format(seconds, row.timeFormat, row.symbol), expected)
          << seconds << " s as \"" << row.timeFormat << "\" with \"" << row.symbol << '"';
  }
}

// The process locale writes "," for the point; the label's text must not follow it.
TEST(ElapsedTimeFormat, DecimalHoursIgnoreTheProcessLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "the set-up installs de_DE.UTF-8";
  const std::string localePoint = std::localeconv()->decimal_point;
  const std::string withPoint = ElapsedTimeLabel::format(3930, "decimal", ".");
  const std::string withSymbol = ElapsedTimeLabel::format(1234567 * 3600.0, "decimal", ",");
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(localePoint, ",");
  EXPECT_EQ(withPoint, "1.09");
  EXPECT_EQ(withSymbol, "1234567,00");
}

constexpr double now = 1'700'000'000.0;

ElapsedTimeLabel::Inputs inputs(std::optional<double> startTime, double hours,
                                std::string timeFormat = "hours_minutes", std::string decimalSymbol = ".") {
  return {startTime, hours, std::move(timeFormat), std::move(decimalSymbol)};
}

class ElapsedTimeLabelLife : public ::testing::Test {
 protected:
  // A label already shown with the given inputs.
  std::unique_ptr<ElapsedTimeLabel> shownLabel(ElapsedTimeLabel::Inputs labelInputs) {
    auto label =
        std::make_unique<ElapsedTimeLabel>(std::move(labelInputs), clock, tickers, [this] { ++textChanges; });
    label->appear();
    return label;
  }

  testing::FakeClock clock{now};
  testing::FakeTickerFactory tickers;
  int textChanges = 0;
};

TEST_F(ElapsedTimeLabelLife, InsertedShowsZeroThenShowingComputesAndTicksFollowTheClock) {
  EXPECT_EQ(ElapsedTimeLabel(inputs(now - 3930, 5, "decimal", ","), clock, tickers, {}).elapsedTime(),
            "0:00");
  ElapsedTimeLabel label(inputs(now - 3928, 0), clock, tickers, [this] { ++textChanges; });
  EXPECT_EQ(label.elapsedTime(), "0:00");
  label.appear();
  EXPECT_EQ(label.elapsedTime(), "1:05");
  ASSERT_EQ(tickers.runningCount(), 1u);
  EXPECT_EQ(tickers.lastInterval(), std::chrono::milliseconds(1000));
  for (const std::string text : {"1:05", "1:06", "1:06"}) {  // 3929 s, 3930 s, 3931 s
    clock.advance(1);
    tickers.tick();
    EXPECT_EQ(label.elapsedTime(), text);
  }
  EXPECT_EQ(textChanges, 2);  // shown, then one change at 3930 s
}

// A new or changed start time alone waits for the next tick; unchanged inputs, a start time gone, or a
// tick without a start time keep the last text.
TEST_F(ElapsedTimeLabelLife, StartTimeChangesWaitForTheTickAndNothingElseMovesTheText) {
  auto label = shownLabel(inputs(std::nullopt, 0));
  label->update(inputs(now - 60, 0));
  EXPECT_EQ(label->elapsedTime(), "0:00");
  tickers.tick();
  EXPECT_EQ(label->elapsedTime(), "0:01");
  label->update(inputs(now - 3930, 0));
  EXPECT_EQ(label->elapsedTime(), "0:01");
  tickers.tick();
  EXPECT_EQ(label->elapsedTime(), "1:06");
  clock.advance(600);
  label->update(inputs(now - 3930, 0));
  EXPECT_EQ(label->elapsedTime(), "1:06");
  label->update(inputs(std::nullopt, 0));
  tickers.tick();
  EXPECT_EQ(label->elapsedTime(), "1:06");
}

TEST_F(ElapsedTimeLabelLife, ChangedHoursFormatOrSymbolRecomputeAtOnce) {
  struct Case {
    const char* change;
    ElapsedTimeLabel::Inputs next;
    std::string expected;
  };
  // Shown at 1:06 with a running timer; the clock then moves 10 minutes without a tick.
  const Case table[] = {
      {"hours", inputs(now - 3930, 1), "2:16"},
      {"format", inputs(now - 3930, 0, "decimal"), "1.26"},
      {"symbol", inputs(now - 3930, 0, "hours_minutes", ","), "1:16"},
      {"symbol and start", inputs(now - 30, 0, "hours_minutes", ","), "0:11"},
  };
  for (const Case& row : table) {
    SCOPED_TRACE(row.change);
    clock.set(now);
    auto label = shownLabel(inputs(now - 3930, 0));
    clock.advance(600);
    label->update(row.next);
    EXPECT_EQ(label->elapsedTime(), row.expected);
    EXPECT_EQ(label->inputs(), row.next);
  }
}

}  // namespace
}  // namespace pellmor
