// The arithmetic of the running total: both formats, the decimal symbol, rounding boundaries, large and
// unrepresentable totals.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "ElapsedTimeLabel.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeTicker.h"

namespace pellmor {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
// The largest hour count "%d" takes, in seconds.
constexpr double maximumHours = 2147483647.0 * 3600;

struct FormatCase {
  double seconds;
  std::string timeFormat;
  std::string decimalSymbol;
  std::string expected;
};

// The text as the label itself computes it: a start time E seconds before now, no further hours.
std::string formattedByLabel(const FormatCase& row) {
  testing::FakeClock clock(row.seconds);
  testing::FakeTickerFactory tickers;
  ElapsedTimeLabel label({.startTime = 0.0,
                          .hoursWithoutTimer = 0,
                          .timeFormat = row.timeFormat,
                          .decimalSymbol = row.decimalSymbol},
                         clock, tickers, {});
  label.appear();
  return label.elapsedTime();
}

void expectFormats(const std::vector<FormatCase>& table) {
  for (const FormatCase& row : table) {
    SCOPED_TRACE(::testing::Message() << "E=" << row.seconds << " format=\"" << row.timeFormat
                                      << "\" symbol=\"" << row.decimalSymbol << '"');
    EXPECT_EQ(ElapsedTimeLabel::format(row.seconds, row.timeFormat, row.decimalSymbol), row.expected);
    EXPECT_EQ(formattedByLabel(row), row.expected);
  }
}

TEST(ElapsedTimeFormat, HoursAndMinutesRoundToTheNearestMinuteWithHalvesUp) {
  expectFormats({
      {0, "hours_minutes", ".", "0:00"},
      {29.99, "hours_minutes", ".", "0:00"},
      {30, "hours_minutes", ".", "0:01"},
      {89.99, "hours_minutes", ".", "0:01"},
      {90, "hours_minutes", ".", "0:02"},
      {900, "hours_minutes", ".", "0:15"},
      {3570, "hours_minutes", ".", "1:00"},
      {3599, "hours_minutes", ".", "1:00"},
      {3929, "hours_minutes", ".", "1:05"},
      {3930, "hours_minutes", ".", "1:06"},
      {7200, "hours_minutes", ".", "2:00"},
      {35999, "hours_minutes", ".", "10:00"},
  });
}

TEST(ElapsedTimeFormat, HoursKeepCountingPastADay) {
  expectFormats({
      {86399, "hours_minutes", ".", "24:00"},
      {86400, "hours_minutes", ".", "24:00"},
      {450000, "hours_minutes", ".", "125:00"},
      {maximumHours, "hours_minutes", ".", "2147483647:00"},
      {maximumHours + 3569, "hours_minutes", ".", "2147483647:59"},
  });
}

TEST(ElapsedTimeFormat, TotalsBeyondTheConversionsShowThePlaceholder) {
  expectFormats({
      {maximumHours + 3570, "hours_minutes", ".", "-:--"},  // rounds up to an hour count "%d" cannot take
      {9.3e18, "hours_minutes", ".", "-:--"},               // beyond a signed 64-bit count of seconds
      {std::numeric_limits<double>::max(), "hours_minutes", ".", "-:--"},
      {infinity, "hours_minutes", ".", "-:--"},
      {-infinity, "hours_minutes", ".", "-:--"},
      {notANumber, "hours_minutes", ".", "-:--"},
      {infinity, "decimal", ".", "-:--"},
      {notANumber, "decimal", ",", "-:--"},
  });
}

TEST(ElapsedTimeFormat, NegativeTotalsShowAsZero) {
  expectFormats({
      {-0.0, "hours_minutes", ".", "0:00"},
      {-2, "hours_minutes", ".", "0:00"},
      {-90, "hours_minutes", ".", "0:00"},
      {-5400, "hours_minutes", ".", "0:00"},
      {-90, "decimal", ".", "0.00"},
      {-5400, "decimal", ",", "0,00"},
  });
}

TEST(ElapsedTimeFormat, DecimalHoursRoundAsTheCConversionDoes) {
  expectFormats({
      {0, "decimal", ".", "0.00"},
      {900, "decimal", ".", "0.25"},
      {3570, "decimal", ".", "0.99"},
      {3599, "decimal", ".", "1.00"},
      {3929, "decimal", ".", "1.09"},
      {3930, "decimal", ".", "1.09"},
      {7200, "decimal", ".", "2.00"},
      {450000, "decimal", ".", "125.00"},
      {18, "decimal", ".", "0.01"},    // 0.005 h is a hair above the half in binary
      {450, "decimal", ".", "0.12"},   // 0.125 h exactly: the half goes to the even digit
      {1350, "decimal", ".", "0.38"},  // 0.375 h exactly
      {3.6e21, "decimal", ".", "1000000000000000000.00"},
  });
}

TEST(ElapsedTimeFormat, DecimalSymbolReplacesThePointLiterally) {
  expectFormats({
      {3930, "decimal", ",", "1,09"},
      {0, "decimal", ",", "0,00"},
      {450000, "decimal", ",", "125,00"},
      {3930, "decimal", "", "109"},
      {3930, "decimal", " h ", "1 h 09"},
      {3930, "decimal", "..", "1..09"},
      {3930, "decimal", "\xC2\xB7",
       "1\xC2\xB7"
       "09"},
  });
}

TEST(ElapsedTimeFormat, OnlyExactlyDecimalSelectsDecimalHours) {
  expectFormats({
      {3930, "hours_minutes", ",", "1:06"},
      {3930, "Decimal", ".", "1:06"},
      {3930, "DECIMAL", ".", "1:06"},
      {3930, "decimal ", ".", "1:06"},
      {3930, "", ".", "1:06"},
      {3930, "decimal", ".", "1.09"},
  });
}

TEST(ElapsedTimeFormat, ElapsedSecondsAddTheHoursWithoutTimer) {
  struct Case {
    std::optional<double> startTime;
    double hoursWithoutTimer;
    double now;
    double expected;
  };
  const Case table[] = {
      {std::nullopt, 0, 1e9, 0},        {std::nullopt, 0.25, 1e9, 900},
      {std::nullopt, 125, 1e9, 450000}, {1e9 - 3930, 0, 1e9, 3930},
      {1e9 - 1800, 1.5, 1e9, 7200},     {1e9 + 2, 0, 1e9, -2},  // started a little in the future
      {1e9 - 0.5, 0, 1e9, 0.5},
  };
  for (const Case& row : table) {
    EXPECT_DOUBLE_EQ(ElapsedTimeLabel::elapsedSeconds(row.startTime, row.hoursWithoutTimer, row.now),
                     row.expected);
  }
}

// The process locale writes "," for the point; the label's text must not follow it.
TEST(ElapsedTimeFormat, DecimalHoursIgnoreTheProcessLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && std::setlocale(LC_ALL, "fr_FR.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  const std::string withPoint = ElapsedTimeLabel::format(3930, "decimal", ".");
  const std::string withSymbol = ElapsedTimeLabel::format(1234567 * 3600.0, "decimal", ",");
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(withPoint, "1.09");
  EXPECT_EQ(withSymbol, "1234567,00");
}

}  // namespace
}  // namespace pellmor
