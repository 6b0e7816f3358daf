// The status item's content from sequences of channel changes: what it draws, the sizes it publishes,
// when it rebuilds, and where clicks go.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "StatusItem.h"
#include "fakes/FakeClock.h"
#include "fakes/ManualMainThread.h"
#include "fakes/FakeTicker.h"
#include "fakes/TempChannel.h"

namespace pellmor {
namespace {

using platform::CornerRadii;
using platform::HitTarget;
using platform::makeRect;
using platform::Point;
using platform::RenderDescription;
using platform::Size;

constexpr double now = 1'700'000'000.0;

RenderDescription expectedDescription(std::string imageName, std::string text, double trailingWidth,
                                      platform::Rect textFrame) {
  RenderDescription description;
  description.size = Size{2 + 20 + trailingWidth + 2, 16};
  description.timerButtonFrame = makeRect(2, 0, 20, 16);
  description.timerButtonCorners = CornerRadii{.topLeading = 2, .bottomLeading = 2};
  description.imageName = std::move(imageName);
  description.trailingFrame = makeRect(22, 0, trailingWidth, 16);
  description.trailingCorners = CornerRadii{.bottomTrailing = 2, .topTrailing = 2};
  description.trailingBackgroundColour = "StatusItemBackground";
  description.text = std::move(text);
  description.textFrame = textFrame;
  description.fontSize = 11;
  description.textColour = "white";
  return description;
}

class StatusItemContent : public ::testing::Test {
 protected:
  StatusItemContent() {
    sizes = sizePassthrough->subscribe([this](Size size) { published.push_back(size); });
  }

  std::unique_ptr<StatusItem> makeContent(std::function<std::string(std::string_view)> translate = {}) {
    StatusItem::Environment environment{.channel = [this]() -> FIFOManager& { return fifo(); },
                                        .mainThread = &mainThread,
                                        .clock = &clock,
                                        .tickers = &tickers,
                                        .translate = std::move(translate)};
    return std::make_unique<StatusItem>(std::move(environment), sizePassthrough);
  }

  void installContent() {
    content = makeContent();
    content->install([this] { ++displayChanges; });
  }

  FIFOManager& fifo() { return channel.fifo(); }

  testing::ManualMainThread mainThread;
  testing::FakeClock clock{now};
  testing::FakeTickerFactory tickers;
  testing::TempChannel channel{mainThread};
  std::shared_ptr<SizeSubject> sizePassthrough = std::make_shared<SizeSubject>();
  Subscription sizes;
  std::vector<Size> published;
  int displayChanges = 0;
  std::unique_ptr<StatusItem> content;
};

TEST_F(StatusItemContent, FreshChannelShowsPlayAndPlaceholderAt63By16) {
  installContent();
  EXPECT_EQ(content->render(), expectedDescription("PlayButton", "-:--", 39, makeRect(22, 0, 39, 16)));
  EXPECT_EQ(displayChanges, 1);
  EXPECT_TRUE(published.empty());  // measured on the first layout pass
  mainThread.drain();
  EXPECT_EQ(published, (std::vector<Size>{{63, 16}}));
  EXPECT_EQ(content->render(), expectedDescription("PlayButton", "-:--", 39, makeRect(22, 0, 39, 16)));
  EXPECT_EQ(content->label(), nullptr);
}

TEST_F(StatusItemContent, FirstLayoutPublishesTheSizeOfTheStateThen) {
  installContent();
  fifo().setAuthenticated(false);
  mainThread.drain();
  EXPECT_EQ(published, (std::vector<Size>{{76, 16}}));
}

TEST_F(StatusItemContent, DrawsEachTrailingContentInItsFrame) {
  installContent();
  fifo().setAuthenticated(false);
  mainThread.drain();
  EXPECT_EQ(content->render(), expectedDescription("PlayButton", "Sign In", 52, makeRect(22, 0, 52, 16)));
  fifo().setAuthenticated(true);
  fifo().setTimerStartedAt(now - 3930);
  fifo().setHoursWithoutTimer(0.0);
  mainThread.drain();
  // The elapsed time keeps two points of padding on either side inside its segment.
  EXPECT_EQ(content->render(), expectedDescription("PauseButton", "1:06", 39, makeRect(24, 0, 35, 16)));
}

TEST_F(StatusItemContent, ImageAndTrailingContentFollowTheChannel) {
  struct Case {
    const char* situation;
    bool authenticated;
    std::optional<double> timerStartedAt;
    std::optional<double> hoursWithoutTimer;
    bool timestampsMode;
    std::string timeFormat;
    std::string decimalSymbol;
    std::string image;
    std::string text;
    double trailingWidth;
  };
  const Case table[] = {
      {"signed out, no timer", false, std::nullopt, std::nullopt, false, "hours_minutes", ".", "PlayButton",
       "Sign In", 52},
      {"signed out, timer", false, now - 60, 0.0, false, "hours_minutes", ".", "PauseButton", "Sign In", 52},
      {"signed out, timestamps", false, now - 60, 0.0, true, "hours_minutes", ".", "StopButton", "Sign In",
       52},
      {"timer, no hours", true, now - 60, std::nullopt, false, "hours_minutes", ".", "PauseButton", "-:--",
       39},
      {"hours, no timer", true, std::nullopt, 0.25, false, "hours_minutes", ".", "PlayButton", "0:15", 39},
      {"timestamps, no timer", true, std::nullopt, std::nullopt, true, "hours_minutes", ".", "PlayButton",
       "-:--", 39},
      {"timestamps, timer", true, now - 3930, 0.0, true, "hours_minutes", ".", "StopButton", "1:06", 39},
      {"decimal comma", true, now - 1800, 1.5, false, "decimal", ",", "PauseButton", "2,00", 39},
      {"decimal point", true, std::nullopt, 125.0, false, "decimal", ".", "PlayButton", "125.00", 39},
  };
  installContent();
  for (const Case& row : table) {
    SCOPED_TRACE(row.situation);
    fifo().setAuthenticated(row.authenticated);
    fifo().setTimerStartedAt(row.timerStartedAt);
    fifo().setHoursWithoutTimer(row.hoursWithoutTimer);
    fifo().setTimestampsMode(row.timestampsMode);
    fifo().setTimeFormat(row.timeFormat);
    fifo().setDecimalSymbol(row.decimalSymbol);
    mainThread.drain();
    const RenderDescription description = content->render();
    EXPECT_EQ(description.imageName, row.image);
    EXPECT_EQ(description.text, row.text);
    EXPECT_EQ(description.trailingFrame, makeRect(22, 0, row.trailingWidth, 16));
    EXPECT_EQ(description.size, (Size{row.trailingWidth + 24, 16}));
    EXPECT_EQ(published.back(), description.size);
  }
}

TEST_F(StatusItemContent, SigningOutWhileATimerRunsKeepsTheImageAndWidensTheItem) {
  installContent();
  fifo().setTimerStartedAt(now - 3930);
  fifo().setHoursWithoutTimer(0.0);
  mainThread.drain();
  fifo().setAuthenticated(false);
  mainThread.drain();
  EXPECT_EQ(content->render().imageName, "PauseButton");
  EXPECT_EQ(content->render().text, "Sign In");
  fifo().setAuthenticated(true);
  mainThread.drain();
  EXPECT_EQ(content->render().text, "1:06");
  EXPECT_EQ(published, (std::vector<Size>{{63, 16}, {76, 16}, {63, 16}}));
}

TEST_F(StatusItemContent, ChangesThatKeepTheWidthPublishNoSize) {
  installContent();
  fifo().setHoursWithoutTimer(1.0);
  mainThread.drain();
  fifo().setTimeFormat("decimal");
  mainThread.drain();
  fifo().setDecimalSymbol(",");
  mainThread.drain();
  fifo().setTimestampsMode(true);
  mainThread.drain();
  fifo().setTimerStartedAt(now);
  mainThread.drain();
  fifo().setAuthenticated(true);  // a change that changes nothing still rebuilds
  mainThread.drain();
  fifo().setHoursWithoutTimer(std::nullopt);
  mainThread.drain();
  EXPECT_EQ(published, (std::vector<Size>{{63, 16}}));
  EXPECT_EQ(displayChanges, 8);  // the installation and one rebuild for each change
}

TEST_F(StatusItemContent, SeveralSignalsBeforeTheNextPassRebuildOnce) {
  installContent();
  fifo().setAuthenticated(false);
  fifo().setAuthenticated(true);
  fifo().setTimerStartedAt(now - 3930);
  fifo().setHoursWithoutTimer(0.0);
  EXPECT_EQ(content->render().text, "-:--");  // nothing rebuilt before the pass
  EXPECT_EQ(mainThread.queued(), 1u);
  mainThread.drain();
  EXPECT_EQ(displayChanges, 2);
  EXPECT_EQ(published, (std::vector<Size>{{63, 16}}));  // the row ended as wide as it started
  EXPECT_EQ(content->render().text, "1:06");
  EXPECT_EQ(tickers.startedCount(), 1);
}

TEST_F(StatusItemContent, LabelAndItsTextSurviveRebuildsOnItsBranch) {
  installContent();
  fifo().setTimerStartedAt(now - 3600);
  fifo().setHoursWithoutTimer(0.0);
  mainThread.drain();
  const ElapsedTimeLabel* label = content->label();
  ASSERT_NE(label, nullptr);
  ASSERT_EQ(content->render().text, "1:00");
  fifo().setTimerStartedAt(now - 7200);  // a new start alone waits for the tick
  fifo().setTimestampsMode(true);
  mainThread.drain();
  EXPECT_EQ(content->label(), label);
  EXPECT_EQ(content->render().text, "1:00");
  EXPECT_EQ(content->render().imageName, "StopButton");
  const int before = displayChanges;
  tickers.tick();
  EXPECT_EQ(content->render().text, "2:00");
  EXPECT_EQ(displayChanges, before + 1);  // the text change alone redraws
  tickers.tick();
  EXPECT_EQ(displayChanges, before + 1);  // the same text again draws nothing new
}

TEST_F(StatusItemContent, LeavingTheBranchDiscardsTheLabelAndReturningStartsANewOne) {
  installContent();
  fifo().setTimerStartedAt(now - 3600);
  fifo().setHoursWithoutTimer(0.0);
  mainThread.drain();
  fifo().setTimerStartedAt(now - 7200);  // the surviving label would keep "1:00" until its tick
  fifo().setAuthenticated(false);
  mainThread.drain();
  EXPECT_EQ(content->label(), nullptr);
  EXPECT_EQ(tickers.runningCount(), 0u);
  fifo().setAuthenticated(true);
  mainThread.drain();
  ASSERT_NE(content->label(), nullptr);
  EXPECT_EQ(content->render().text, "2:00");  // computed afresh when shown
  EXPECT_EQ(tickers.runningCount(), 1u);
  EXPECT_EQ(tickers.startedCount(), 2);
  fifo().setHoursWithoutTimer(std::nullopt);
  mainThread.drain();
  EXPECT_EQ(content->render().text, "-:--");
  EXPECT_EQ(tickers.runningCount(), 0u);
}

TEST_F(StatusItemContent, TextsGoThroughTranslationButTheTimeDoesNot) {
  content = makeContent([](std::string_view text) { return "[" + std::string(text) + "]"; });
  content->install([] {});
  EXPECT_EQ(content->render().text, "[-:--]");
  fifo().setAuthenticated(false);
  mainThread.drain();
  EXPECT_EQ(content->render().text, "[Sign In]");
  fifo().setAuthenticated(true);
  fifo().setHoursWithoutTimer(1.0);
  mainThread.drain();
  EXPECT_EQ(content->render().text, "1:00");
}

TEST_F(StatusItemContent, ARebuildAlreadyPostedIsDroppedWithTheContent) {
  installContent();
  fifo().setAuthenticated(false);
  content.reset();
  mainThread.drain();
  EXPECT_TRUE(published.empty());
  fifo().setAuthenticated(true);  // no subscriber left
  EXPECT_EQ(mainThread.queued(), 0u);
}

TEST_F(StatusItemContent, HitTestFindsTheSegmentUnderThePoint) {
  struct Case {
    bool authenticated;
    Point point;
    HitTarget expected;
  };
  const Case table[] = {
      {true, {0, 8}, HitTarget::none},
      {true, {1.99, 8}, HitTarget::none},
      {true, {2, 0}, HitTarget::timerButton},
      {true, {21.99, 15.99}, HitTarget::timerButton},
      {true, {22, 8}, HitTarget::trailingButton},
      {true, {60.99, 8}, HitTarget::trailingButton},
      {true, {61, 8}, HitTarget::none},
      {true, {62.5, 8}, HitTarget::none},
      {true, {10, -0.01}, HitTarget::none},
      {true, {10, 16}, HitTarget::none},
      {false, {61, 8}, HitTarget::trailingButton},
      {false, {73.99, 8}, HitTarget::trailingButton},
      {false, {74, 8}, HitTarget::none},
  };
  installContent();
  for (const Case& row : table) {
    SCOPED_TRACE(::testing::Message()
                 << row.authenticated << " (" << row.point.x << ',' << row.point.y << ')');
    fifo().setAuthenticated(row.authenticated);
    mainThread.drain();
    EXPECT_EQ(content->hitTest(row.point), row.expected);
  }
}

class StatusItemClicks : public StatusItemContent {
 protected:
  // The outgoing lines of the actions run by `act`, followed by a marker line the test sends last.
  std::vector<std::string> outgoingLinesOf(const std::function<void()>& act) {
    testing::OutgoingReader reader(fifo().toMainPath());
    EXPECT_TRUE(reader.isOpen());
    act();
    fifo().sendMessage("end of test");
    return reader.readUntil("end of test");
  }
};

TEST_F(StatusItemClicks, EachSegmentPrintsItsLineThenSendsItsAction) {
  struct Case {
    Point point;
    bool handled;
    std::string printed;
    std::vector<std::string> sent;
  };
  const Case table[] = {
      {{10, 8}, true, "Toggling timer\n", {R"({"action":"toggleTimer"})"}},
      {{40, 8}, true, "Toggling main app\n", {R"({"action":"toggleApp"})"}},
      {{1, 8}, false, "", {}},
      {{62, 8}, false, "", {}},
  };
  installContent();
  for (const Case& row : table) {
    SCOPED_TRACE(::testing::Message() << '(' << row.point.x << ',' << row.point.y << ')');
    bool handled = false;
    ::testing::internal::CaptureStdout();
    const std::vector<std::string> sent = outgoingLinesOf([&] { handled = content->click(row.point); });
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), row.printed);
    EXPECT_EQ(handled, row.handled);
    EXPECT_EQ(sent, row.sent);
  }
}

TEST_F(StatusItemClicks, ActionsWorkWhileSignedOutAndChangeNothingShown) {
  installContent();
  fifo().setAuthenticated(false);
  mainThread.drain();
  const RenderDescription before = content->render();
  const int changesBefore = displayChanges;
  ::testing::internal::CaptureStdout();
  const std::vector<std::string> sent = outgoingLinesOf([&] {
    content->toggleTimerAction();
    content->toggleMainAppAction();
    content->click({70, 2});
  });
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Toggling timer\nToggling main app\nToggling main app\n");
  EXPECT_EQ(sent, (std::vector<std::string>{R"({"action":"toggleTimer"})", R"({"action":"toggleApp"})",
                                            R"({"action":"toggleApp"})"}));
  mainThread.drain();
  EXPECT_EQ(content->render(), before);
  EXPECT_EQ(displayChanges, changesBefore);
}

}  // namespace
}  // namespace pellmor
