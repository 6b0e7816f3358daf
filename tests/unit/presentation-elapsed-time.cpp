// The running total: the arithmetic of both formats, the decimal symbol, rounding boundaries, large and
// unrepresentable totals.

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "ElapsedTimeLabel.h"

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
      {"decimal", ".", {{18, "0.01"}, {450, "0.12"}, {1350, "0.38"}, {3.6e21, "1000000000000000000.00"}}},
      {"decimal", " h ", {{3930, "1 h 09"}, {std::numeric_limits<double>::quiet_NaN(), "-:--"}}},
  };
  for (const auto& row : table) {
    for (const auto& [seconds, expected] : row.totals)
      EXPECT_EQ(ElapsedTimeLabel::format(seconds, row.timeFormat, row.symbol), expected)
          << seconds << " s as \"" << row.timeFormat << "\" with \"" << row.symbol << '"';
  }
  std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
}  // namespace pellmor
