// The label's life in the view tree: inserted at "0:00", computed when shown, refreshed by its one-second
// ticker while a timer runs, recomputed when a rebuild changes what it shows, stopped when removed.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "ElapsedTimeLabel.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeTicker.h"

namespace pellmor {
namespace {

constexpr double now = 1'700'000'000.0;

ElapsedTimeLabel::Inputs inputs(std::optional<double> startTime, double hours,
                                std::string timeFormat = "hours_minutes", std::string decimalSymbol = ".") {
  return {.startTime = startTime,
          .hoursWithoutTimer = hours,
          .timeFormat = std::move(timeFormat),
          .decimalSymbol = std::move(decimalSymbol)};
}

class ElapsedTimeLabelLife : public ::testing::Test {
 protected:
  std::unique_ptr<ElapsedTimeLabel> makeLabel(ElapsedTimeLabel::Inputs labelInputs) {
    return std::make_unique<ElapsedTimeLabel>(std::move(labelInputs), clock, tickers,
                                              [this] { ++textChanges; });
  }

  testing::FakeClock clock{now};
  testing::FakeTickerFactory tickers;
  int textChanges = 0;
};

TEST_F(ElapsedTimeLabelLife, InsertedLabelShowsZeroUntilShownAndRunsNoTicker) {
  for (const std::string format : {"hours_minutes", "decimal"}) {
    auto label = makeLabel(inputs(now - 3930, 5, format, ","));
    EXPECT_EQ(label->elapsedTime(), "0:00");
    EXPECT_EQ(tickers.runningCount(), 0u);
    EXPECT_EQ(textChanges, 0);
  }
}

TEST_F(ElapsedTimeLabelLife, ShowingComputesAtOnceAndStartsOneSecondTicker) {
  auto label = makeLabel(inputs(now - 3930, 0));
  label->appear();
  EXPECT_EQ(label->elapsedTime(), "1:06");
  EXPECT_EQ(textChanges, 1);
  ASSERT_EQ(tickers.runningCount(), 1u);
  EXPECT_EQ(tickers.runningIntervals().front(), std::chrono::milliseconds(1000));
}

TEST_F(ElapsedTimeLabelLife, TicksFollowTheClockWhileATimerRuns) {
  auto label = makeLabel(inputs(now - 3928, 0));
  label->appear();
  const std::string expected[] = {"1:05", "1:06", "1:06"};  // 3929 s, 3930 s, 3931 s
  for (const std::string& text : expected) {
    clock.advance(1);
    tickers.tick();
    EXPECT_EQ(label->elapsedTime(), text);
  }
  EXPECT_EQ(textChanges, 2);  // shown, then one change at 3930 s
}

TEST_F(ElapsedTimeLabelLife, TicksWithoutStartTimeChangeNothing) {
  auto label = makeLabel(inputs(std::nullopt, 1));
  label->appear();
  ASSERT_EQ(label->elapsedTime(), "1:00");
  label->update(inputs(std::nullopt, 1));
  clock.advance(3600);
  tickers.tick();
  tickers.tick();
  EXPECT_EQ(label->elapsedTime(), "1:00");
  EXPECT_EQ(textChanges, 1);
}

TEST_F(ElapsedTimeLabelLife, NewOrChangedStartTimeAloneWaitsForTheNextTick) {
  struct Case {
    std::optional<double> shownWith;
    std::string shown;
  };
  const Case table[] = {{std::nullopt, "0:00"}, {now - 60, "0:01"}};
  for (const Case& row : table) {
    auto label = makeLabel(inputs(row.shownWith, 0));
    label->appear();
    label->update(inputs(now - 3930, 0));
    EXPECT_EQ(label->elapsedTime(), row.shown);
    tickers.tick();
    EXPECT_EQ(label->elapsedTime(), "1:06");
  }
}

TEST_F(ElapsedTimeLabelLife, StartTimeGoneKeepsTheLastText) {
  auto label = makeLabel(inputs(now - 3930, 0));
  label->appear();
  label->update(inputs(std::nullopt, 0));
  clock.advance(600);
  tickers.tick();
  EXPECT_EQ(label->elapsedTime(), "1:06");
}

TEST_F(ElapsedTimeLabelLife, UnchangedInputsDoNotRecompute) {
  auto label = makeLabel(inputs(now - 3930, 0));
  label->appear();
  clock.advance(600);
  label->update(inputs(now - 3930, 0));
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
    auto label = makeLabel(inputs(now - 3930, 0));
    label->appear();
    clock.advance(600);
    label->update(row.next);
    EXPECT_EQ(label->elapsedTime(), row.expected);
    EXPECT_EQ(label->inputs(), row.next);
  }
}

TEST_F(ElapsedTimeLabelLife, RemovalStopsTheTicker) {
  auto label = makeLabel(inputs(now, 0));
  label->appear();
  ASSERT_EQ(tickers.runningCount(), 1u);
  label.reset();
  EXPECT_EQ(tickers.runningCount(), 0u);
  tickers.tick();  // nothing left to call
  EXPECT_EQ(textChanges, 0);
}

TEST_F(ElapsedTimeLabelLife, ALabelInsertedAnewStartsOver) {
  auto first = makeLabel(inputs(now - 3930, 0));
  first->appear();
  ASSERT_EQ(first->elapsedTime(), "1:06");
  first.reset();
  auto second = makeLabel(inputs(now - 3930, 0));
  EXPECT_EQ(second->elapsedTime(), "0:00");
  second->appear();
  EXPECT_EQ(second->elapsedTime(), "1:06");
  EXPECT_EQ(tickers.runningCount(), 1u);
  EXPECT_EQ(tickers.startedCount(), 2);
}

}  // namespace
}  // namespace pellmor
