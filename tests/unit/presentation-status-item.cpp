// The status item's content from sequences of channel changes: what it draws, the sizes it publishes,
// when it rebuilds, and where clicks go.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Backends/Headless/FixedTextMetrics.h"
#include "StatusItem.h"
#include "support/Channel.h"
#include "support/Fakes.h"

namespace pellmor {
namespace {

using platform::Form;
using platform::HitTarget;
using platform::Size;
using Lines = std::vector<std::string>;

constexpr double now = 1'700'000'000.0;

// What the channel holds.
struct State {
  bool authenticated = true;
  std::optional<double> timerStartedAt{};
  std::optional<double> hoursWithoutTimer{};
  bool timestampsMode = false;
  std::string timeFormat = "hours_minutes";
  std::string decimalSymbol = ".";
};
// The three texts the compact forms must fit: "-:--", "1:06" and "Sign In".
const State placeholder{};
const State total{.timerStartedAt = now - 3930, .hoursWithoutTimer = 0.0};
const State signIn{.authenticated = false};

class StatusItemContent : public ::testing::Test {
 protected:
  void SetUp() override {
    content = std::make_unique<StatusItem>(
        StatusItem::Environment{.channel = [this]() -> FIFOManager& { return fifo; },
                                .mainThread = &mainThread,
                                .clock = &clock,
                                .tickers = &tickers,
                                .textMetrics = &metrics},
        sizePassthrough);
    content->install([this] { ++displayChanges; });
  }

  // The changes of the channel, then the main thread's pass.
  void show(const State& state) {
    fifo.setAuthenticated(state.authenticated);
    fifo.setTimerStartedAt(state.timerStartedAt);
    fifo.setHoursWithoutTimer(state.hoursWithoutTimer);
    fifo.setTimestampsMode(state.timestampsMode);
    fifo.setTimeFormat(state.timeFormat);
    fifo.setDecimalSymbol(state.decimalSymbol);
    mainThread.drain();
  }

  testing::ManualMainThread mainThread;
  testing::FakeClock clock{now};
  testing::FakeTickerFactory tickers;
  FixedTextMetrics metrics;
  testing::TempChannel channel{mainThread};
  FIFOManager& fifo = channel.fifo();
  std::shared_ptr<SizeSubject> sizePassthrough = std::make_shared<SizeSubject>();
  std::vector<Size> published;
  Subscription sizes = sizePassthrough->subscribe([this](Size size) { published.push_back(size); });
  int displayChanges = 0;
  std::unique_ptr<StatusItem> content;
};

TEST_F(StatusItemContent, PublishesTheSizeOnTheNextPassAndRebuildsOncePerPass) {
  fifo.setAuthenticated(false);
  fifo.setTimerStartedAt(now - 3930);
  EXPECT_EQ(content->render().text, "-:--");  // nothing rebuilt before the pass
  EXPECT_EQ(mainThread.queued(), 1u);
  mainThread.drain();
  EXPECT_EQ(displayChanges, 2);  // installed, then one rebuild
  EXPECT_EQ(published, (std::vector<Size>{{76, 16}}));
  show({.timerStartedAt = now - 3930, .hoursWithoutTimer = 0.0});
  EXPECT_EQ(displayChanges, 3);  // the new label's first text is part of the rebuild's one redraw
  EXPECT_EQ(published, (std::vector<Size>{{76, 16}, {63, 16}}));
}

// "Sign In" takes a wider segment.
TEST_F(StatusItemContent, DrawsEachDisplayState) {
  const struct {
    State state;
    std::string image;
    std::string text;
  } table[] = {
      {{.authenticated = false}, "PlayButton", "Sign In"},
      {{.authenticated = false, .timerStartedAt = now - 60, .timestampsMode = true}, "StopButton", "Sign In"},
      {{.timerStartedAt = now - 60}, "PauseButton", "-:--"},
      {total, "PauseButton", "1:06"},
      {{.hoursWithoutTimer = 2, .timeFormat = "decimal", .decimalSymbol = ","}, "PlayButton", "2,00"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.text + " " + row.image);
    show(row.state);
    const platform::RenderDescription drawn = content->render();
    EXPECT_EQ(drawn.imageName, row.image);
    EXPECT_EQ(drawn.text, row.text);
    const bool wide = row.text == "Sign In";
    EXPECT_EQ(drawn.size, (Size{wide ? 76.0 : 63.0, 16}));
    EXPECT_EQ(published.back(), drawn.size);
  }
}

// The label lives as long as its branch: rebuilds keep it (a new start time waits for its tick, a new
// format does not), leaving the branch stops its ticker, and a label shown anew computes its text at once.
TEST_F(StatusItemContent, LabelSurvivesRebuildsOnItsBranchAndStartsAfreshOnReturn) {
  show({.timerStartedAt = now - 3600, .hoursWithoutTimer = 0.0});
  const ElapsedTimeLabel* label = content->label();
  ASSERT_NE(label, nullptr);
  show({.timerStartedAt = now - 7200, .hoursWithoutTimer = 0.0, .timestampsMode = true});
  EXPECT_EQ(content->label(), label);
  EXPECT_EQ(content->render().text, "1:00");
  const int before = displayChanges;
  tickers.tick();
  EXPECT_EQ(content->render().text, "2:00");
  EXPECT_EQ(displayChanges, before + 1);  // the text change alone redraws
  fifo.setTimeFormat("decimal");
  mainThread.drain();
  EXPECT_EQ(content->render().text, "2.00");  // a new format needs no tick

  show({.authenticated = false, .timerStartedAt = now - 10800, .hoursWithoutTimer = 0.0});
  EXPECT_EQ(tickers.runningCount(), 0u);
  show({.timerStartedAt = now - 10800, .hoursWithoutTimer = 0.0});
  EXPECT_EQ(content->render().text, "3:00");
}

TEST_F(StatusItemContent, ARebuildAlreadyPostedIsDroppedWithTheContent) {
  fifo.setAuthenticated(false);
  content.reset();
  mainThread.drain();
  EXPECT_TRUE(published.empty());
  fifo.setAuthenticated(true);  // no subscriber left
  EXPECT_EQ(mainThread.queued(), 0u);
}

// The form for a cell shows the same state and text as the row.
TEST_F(StatusItemContent, EachCellShowsTheStateOfTheRow) {
  show(total);
  for (const Size cell : {Size{63, 16}, Size{18, 18}, Size{64, 64}}) {
    const platform::RenderDescription drawn = content->render(cell, 1);
    EXPECT_EQ(drawn.form, cell.height == 16 ? Form::full : Form::stacked);
    EXPECT_EQ(drawn.imageName, "PauseButton");
    EXPECT_EQ(drawn.text, "1:06");
  }
}

// Clicks print their line, then send their action. Points are in the cell's coordinates; the full row is
// centred in a cell larger than itself.
TEST_F(StatusItemContent, ClicksRunWhatIsUnderThem) {
  using enum HitTarget;
  const struct {
    Size cell;
    State shown;
    platform::Point point;
    HitTarget target;
  } table[] = {
      {{63, 16}, placeholder, {1.99, 8}, none},
      {{63, 16}, placeholder, {2, 0}, timerButton},
      {{63, 16}, placeholder, {22, 15.99}, trailingButton},
      {{76, 22}, signIn, {73.99, 11}, trailingButton},
      {{76, 22}, signIn, {30, 2.99}, none},        // above the centred row
      {{22, 22}, total, {0, 10.99}, timerButton},  // the image's band, above the time's
      {{22, 22}, total, {21.99, 11}, trailingButton},
  };
  const std::map<HitTarget, std::pair<std::string, Lines>> output = {
      {timerButton, {"Toggling timer\n", {R"({"action":"toggleTimer"})"}}},
      {trailingButton, {"Toggling main app\n", {R"({"action":"toggleApp"})"}}},
      {none, {"", {}}}};
  for (const auto& row : table) {
    SCOPED_TRACE(::testing::Message() << row.point.x << ',' << row.point.y);
    show(row.shown);
    bool handled = false;
    ::testing::internal::CaptureStdout();
    const Lines sent = testing::linesSentBy(fifo, [&] { handled = content->click(row.point, row.cell, 1); });
    EXPECT_EQ(std::pair(::testing::internal::GetCapturedStdout(), sent), output.at(row.target));
    EXPECT_EQ(handled, row.target != none);
  }
}

}  // namespace
}  // namespace pellmor
