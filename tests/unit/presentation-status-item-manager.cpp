// The controller on the headless status bar: the item set up at 80 x 22 with the content inside its
// button, following the content's width, the item without a button, the item's own click, and where the
// item sits: the button's left edge and width on screen, the top and height of its bar, with y measured
// downwards from the first screen's top edge.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Backends/Headless/HeadlessStatusBar.h"
#include "StatusItemManager.h"
#include "support/Channel.h"
#include "support/MenuBar.h"

namespace pellmor {
namespace {

using platform::makeRect;
using platform::Rect;
using Lines = std::vector<std::string>;
const std::string toggleApp = R"({"action":"toggleApp"})";
const Rect firstScreen = makeRect(0, 0, 1920, 1080);

class StatusItemController : public ::testing::Test {
 protected:
  // A controller on `bar`, set up; `printed` holds what setting up wrote to standard output.
  std::unique_ptr<StatusItemManager> setUp(platform::StatusBar& bar, const HeadlessScreens& screens) {
    const auto fifo = [this]() -> FIFOManager& { return channel.fifo(); };
    auto manager = std::make_unique<StatusItemManager>(StatusItemManager::Environment{
        &bar,
        &screens,
        fifo,
        {.channel = fifo, .mainThread = &mainThread, .clock = &clock, .tickers = &tickers}});
    ::testing::internal::CaptureStdout();
    manager->setupStatusItem();
    printed = ::testing::internal::GetCapturedStdout();
    return manager;
  }

  // Where a set-up controller puts its item once the content is that wide.
  std::optional<PositionRecord> positionOf(Rect window, platform::Point buttonOrigin,
                                           std::vector<Rect> screenList, double buttonWidth) {
    testing::MenuBar positioned(window, buttonOrigin);
    const HeadlessScreens screensThere(std::move(screenList));
    auto manager = setUp(positioned, screensThere);
    mainThread.drain();
    manager->sizePassthrough()->send({buttonWidth, 16});
    return manager->menubarPositionInfo();
  }

  testing::ManualMainThread mainThread;
  testing::FakeClock clock{1'700'000'000.0};
  testing::FakeTickerFactory tickers;
  HeadlessScreens screens{{firstScreen}};
  testing::TempChannel channel{mainThread};
  testing::MenuBar bar{makeRect(0, 1056, 1920, 24), {1500, 0}};
  std::string printed;
};

TEST_F(StatusItemController, SetsUpTheContentInTheButtonAt80By22AndFollowsItsWidth) {
  auto manager = setUp(bar, screens);
  EXPECT_EQ(printed, "");
  auto& button = dynamic_cast<testing::FakeButton&>(*manager->statusItem()->button());
  ASSERT_NE(manager->hostingView(), nullptr);
  EXPECT_EQ(button.subviews(), (std::vector<platform::View*>{manager->hostingView()}));
  EXPECT_EQ(button.frame(), makeRect(0, 0, 80, 22));
  EXPECT_EQ(manager->hostingView()->frame(), makeRect(0, 0, 80, 22));
  mainThread.drain();                            // the content's first measurement
  manager->sizePassthrough()->send({80.5, 40});  // the item keeps its own height
  EXPECT_EQ(button.frame(), makeRect(0, 0, 80.5, 22));
  EXPECT_EQ(manager->hostingView()->frame(), makeRect(0, 0, 80.5, 22));
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(testing::linesSentBy(channel.fifo(), [&] { button.performClick(); }), Lines{toggleApp});
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");  // the item's own click prints nothing

  const std::shared_ptr<SizeSubject> subject = manager->sizePassthrough();
  manager.reset();
  EXPECT_EQ(subject->subscriberCount(), 0u);
  mainThread.drain();  // the content's pending pass is gone with it
}

TEST_F(StatusItemController, ItemWithoutButtonIsReportedShowsNothingAndTheChannelStillWorks) {
  HeadlessStatusBar buttonless;
  auto manager = setUp(buttonless, screens);
  EXPECT_EQ(printed, "Failed to create NSStatusItem button\n");
  EXPECT_NE(manager->statusItem(), nullptr);
  EXPECT_EQ(manager->hostingView(), nullptr);
  EXPECT_EQ(manager->sizePassthrough()->subscriberCount(), 0u);
  mainThread.drain();
  EXPECT_EQ(manager->menubarPositionInfo(), std::nullopt);
  EXPECT_EQ(testing::linesSentBy(channel.fifo(), [&] { manager->toggleApp(); }), Lines{toggleApp});
}

// A second, taller screen to the right of the first one throughout.
TEST_F(StatusItemController, PositionMeasuresTheButtonAndItsBar) {
  const struct {
    Rect window;
    double buttonX;  // in the window
    double buttonWidth;
    PositionRecord expected;
  } table[] = {
      {makeRect(10.25, 1030.25, 1900, 24.5), 1500.5, 63.5, {1510.75, 25.25, 63.5, 24.5}},  // fractions kept
      {makeRect(1920, 1416, 2560, 24), 2300, 63, {4220, -360, 63, 24}},  // on the second screen
      {makeRect(0, 1080, 1920, -24), 1500, 63, {1500, -24, 63, 24}},     // a negative height field
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.buttonX);
    EXPECT_EQ(positionOf(row.window, {row.buttonX, 0}, {firstScreen, makeRect(1920, 0, 2560, 1440)},
                         row.buttonWidth),
              row.expected);
  }
  EXPECT_EQ(positionOf(makeRect(0, 1056, 1920, 24), {}, {}, 63), std::nullopt);  // no screen
}

}  // namespace
}  // namespace pellmor
