// The controller: setting up the item in order, following the content's width, the item without a
// button, the item's own click action, and where the item sits: the button's left edge and width on
// screen, the top and height of its bar, with y measured downwards from the first screen's top edge.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "StatusItemManager.h"
#include "support/Channel.h"
#include "support/Fakes.h"

namespace pellmor {
namespace {

using platform::makeRect;
using platform::Rect;
using testing::CallLog;
const std::string toggleApp = R"({"action":"toggleApp"})";

class StatusItemController : public ::testing::Test {
 protected:
  std::unique_ptr<StatusItemManager> makeManager(testing::FakeStatusBar& bar,
                                                 const testing::FakeScreens& screens) {
    const auto fifo = [this, &bar]() -> FIFOManager& {
      bar.log.push_back("channel");
      return channel.fifo();
    };
    return std::make_unique<StatusItemManager>(StatusItemManager::Environment{
        &bar,
        &screens,
        fifo,
        {.channel = fifo, .mainThread = &mainThread, .clock = &clock, .tickers = &tickers}});
  }

  // A controller on `bar`, set up; `printed` holds what setting up wrote to standard output.
  std::unique_ptr<StatusItemManager> setUp(testing::FakeStatusBar& bar) { return setUp(bar, screens); }
  std::unique_ptr<StatusItemManager> setUp(testing::FakeStatusBar& bar, const testing::FakeScreens& screens) {
    auto manager = makeManager(bar, screens);
    ::testing::internal::CaptureStdout();
    manager->setupStatusItem();
    printed = ::testing::internal::GetCapturedStdout();
    return manager;
  }

  // Where a set-up controller on such a bar and screens puts its item once the content is that wide.
  std::optional<PositionRecord> positionOf(testing::FakeStatusBar::Configuration configuration,
                                           std::vector<Rect> screenList, double buttonWidth = 63) {
    testing::FakeStatusBar positioned(configuration);
    const testing::FakeScreens screensThere(std::move(screenList));
    auto manager = setUp(positioned, screensThere);
    mainThread.drain();
    manager->sizePassthrough()->send({buttonWidth, 16});
    return manager->menubarPositionInfo();
  }

  // The outgoing lines of the actions run by `act`, before a marker the test sends last.
  std::vector<std::string> sentBy(const std::function<void()>& act) {
    testing::MainAppReader reader(channel.fifo().toMainPath());
    act();
    channel.fifo().sendMessage("end of test");
    return reader.readUntil("end of test");
  }

  testing::ManualMainThread mainThread;
  testing::FakeClock clock{1'700'000'000.0};
  testing::FakeTickerFactory tickers;
  const Rect firstScreen = makeRect(0, 0, 1920, 1080);
  testing::FakeScreens screens{{firstScreen}};
  testing::TempChannel channel{mainThread};
  testing::FakeStatusBar bar;
  std::string printed;
};

TEST_F(StatusItemController, SetsUpTheItemInOrderAt80By22) {
  auto manager = setUp(bar);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(bar.log,
            (CallLog{"statusItemWithLength(-1)", "makeHostingView", "channel", "host.setFrame(0,0,80,22)",
                     "button.setAction", "button.setFrame(0,0,80,22)", "button.addSubview"}));
  ASSERT_NE(manager->statusItem(), nullptr);
  EXPECT_EQ(manager->statusItem()->button(), bar.lastButton);
  EXPECT_EQ(manager->hostingView(), bar.lastHost);
  EXPECT_EQ(bar.lastButton->subviews, (std::vector<platform::View*>{bar.lastHost}));
  EXPECT_EQ(manager->sizePassthrough()->subscriberCount(), 1u);
}

TEST_F(StatusItemController, EverySizeSetsBothFramesAtTheItemsHeight) {
  auto manager = setUp(bar);
  bar.log.clear();
  mainThread.drain();  // the content's first measurement
  for (const platform::Size size : {platform::Size{76, 16}, {80.5, 40}})
    manager->sizePassthrough()->send(size);
  EXPECT_EQ(bar.log, (CallLog{"host.setFrame(0,0,63,22)", "button.setFrame(0,0,63,22)",
                              "host.setFrame(0,0,76,22)", "button.setFrame(0,0,76,22)",
                              "host.setFrame(0,0,80.5,22)", "button.setFrame(0,0,80.5,22)"}));
  EXPECT_EQ(bar.lastHost->frame(), platform::makeRect(0, 0, 80.5, 22));
  EXPECT_EQ(bar.lastButton->frame(), platform::makeRect(0, 0, 80.5, 22));
}

TEST_F(StatusItemController, ItemWithoutButtonIsReportedShowsNothingAndTheChannelStillWorks) {
  testing::FakeStatusBar buttonless({.withButton = false});
  auto manager = setUp(buttonless);
  EXPECT_EQ(printed, "Failed to create NSStatusItem button\n");
  const CallLog setUpCalls{"statusItemWithLength(-1)", "makeHostingView", "channel",
                           "host.setFrame(0,0,80,22)"};
  EXPECT_EQ(buttonless.log, setUpCalls);
  EXPECT_NE(manager->statusItem(), nullptr);
  EXPECT_EQ(manager->hostingView(), nullptr);
  EXPECT_EQ(buttonless.liveHosts, 0);
  EXPECT_EQ(manager->sizePassthrough()->subscriberCount(), 0u);
  mainThread.drain();
  manager->sizePassthrough()->send({76, 16});
  EXPECT_EQ(buttonless.log, setUpCalls);
  EXPECT_EQ(manager->menubarPositionInfo(), std::nullopt);
  EXPECT_EQ(sentBy([&] { manager->toggleApp(); }), (std::vector<std::string>{toggleApp}));
}

TEST_F(StatusItemController, ButtonClickSendsToggleAppSilently) {
  auto manager = setUp(bar);
  mainThread.drain();
  ::testing::internal::CaptureStdout();
  const std::vector<std::string> sent = sentBy([&] {
    bar.lastButton->click();
    manager->toggleApp();
  });
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(sent, (std::vector<std::string>{toggleApp, toggleApp}));
}

TEST_F(StatusItemController, SubscriptionAndHostEndWithTheController) {
  auto manager = setUp(bar);
  const std::shared_ptr<SizeSubject> subject = manager->sizePassthrough();
  manager.reset();
  EXPECT_EQ(subject->subscriberCount(), 0u);
  EXPECT_EQ(bar.liveHosts, 0);
  subject->send({76, 16});  // reaches nobody
  mainThread.drain();       // the content's pending first pass is gone with it
}

// A second, taller screen to the right of the first one throughout.
TEST_F(StatusItemController, PositionMeasuresTheButtonAndItsBar) {
  struct Case {
    Rect window;
    double buttonX;  // in the window
    double buttonWidth;
    PositionRecord expected;
  };
  const Case table[] = {
      {makeRect(0, 1056, 1920, 24), 1500, 63, {1500, 0, 63, 24}},   // at the top of the first screen
      {makeRect(0, 1000, 1920, 24), 1400, 76, {1400, 56, 76, 24}},  // 56 points below the top
      {makeRect(10.25, 1030.25, 1900, 24.5), 1500.5, 63.5, {1510.75, 25.25, 63.5, 24.5}},  // fractions kept
      {makeRect(1920, 1416, 2560, 24), 2300, 63, {4220, -360, 63, 24}},  // on the second screen
      {makeRect(0, 1080, 1920, -24), 1500, 63, {1500, -24, 63, 24}},     // a negative height field
  };
  for (const Case& row : table) {
    SCOPED_TRACE(row.buttonX);
    EXPECT_EQ(positionOf({.windowFrame = row.window, .buttonOriginInWindow = {row.buttonX, 0}},
                         {firstScreen, makeRect(1920, 0, 2560, 1440)}, row.buttonWidth),
              row.expected);
  }
}

TEST_F(StatusItemController, PositionAbsentWithoutItemButtonWindowOrScreen) {
  EXPECT_EQ(makeManager(bar, screens)->menubarPositionInfo(), std::nullopt);  // not set up
  EXPECT_EQ(positionOf({.withButton = false}, {firstScreen}), std::nullopt);
  EXPECT_EQ(positionOf({.windowFrame = std::nullopt}, {firstScreen}), std::nullopt);
  EXPECT_EQ(positionOf({}, {}), std::nullopt);
}

}  // namespace
}  // namespace pellmor
