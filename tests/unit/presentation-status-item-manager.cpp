// The controller: setting up the item in order, following the content's width, the item without a
// button, and the item's own click action.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "StatusItemManager.h"
#include "fakes/FakeClock.h"
#include "fakes/ManualMainThread.h"
#include "fakes/FakeStatusBar.h"
#include "fakes/FakeTicker.h"
#include "fakes/TempChannel.h"

namespace pellmor {
namespace {

using platform::Size;
using testing::CallLog;

class StatusItemController : public ::testing::Test {
 protected:
  std::unique_ptr<StatusItemManager> makeManager(testing::FakeStatusBar& bar) {
    StatusItemManager::Environment environment;
    environment.statusBar = &bar;
    environment.screens = &screens;
    environment.channel = [this, &bar]() -> FIFOManager& {
      bar.log.push_back("channel");
      return channel.fifo();
    };
    environment.content = StatusItem::Environment{.channel = environment.channel,
                                                  .mainThread = &mainThread,
                                                  .clock = &clock,
                                                  .tickers = &tickers,
                                                  .translate = {}};
    return std::make_unique<StatusItemManager>(std::move(environment));
  }

  // The log from the given entry on.
  static CallLog since(const CallLog& log, std::size_t from) {
    return CallLog(log.begin() + from, log.end());
  }

  testing::ManualMainThread mainThread;
  testing::FakeClock clock{1'700'000'000.0};
  testing::FakeTickerFactory tickers;
  testing::FakeScreens screens{{platform::makeRect(0, 0, 1920, 1080)}};
  testing::TempChannel channel{mainThread};
  testing::FakeStatusBar bar;
};

TEST_F(StatusItemController, SetsUpTheItemInOrderAt80By22) {
  auto manager = makeManager(bar);
  ::testing::internal::CaptureStdout();
  manager->setupStatusItem();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(bar.log,
            (CallLog{"statusItemWithLength(-1)", "makeHostingView", "channel", "host.setFrame(0,0,80,22)",
                     "button.setAction", "button.setFrame(0,0,80,22)", "button.addSubview"}));
  ASSERT_NE(manager->statusItem(), nullptr);
  EXPECT_EQ(manager->statusItem()->button(), bar.lastButton);
  EXPECT_EQ(manager->hostingView(), bar.lastHost);
  EXPECT_EQ(bar.lastButton->subviews(), (std::vector<platform::View*>{bar.lastHost}));
  EXPECT_EQ(manager->sizePassthrough()->subscriberCount(), 1u);
}

TEST_F(StatusItemController, FollowsTheContentsFirstMeasurement) {
  auto manager = makeManager(bar);
  manager->setupStatusItem();
  const std::size_t afterSetup = bar.log.size();
  mainThread.drain();
  EXPECT_EQ(since(bar.log, afterSetup), (CallLog{"host.setFrame(0,0,63,22)", "button.setFrame(0,0,63,22)"}));
  EXPECT_EQ(bar.lastHost->frame(), platform::makeRect(0, 0, 63, 22));
  EXPECT_EQ(bar.lastButton->frame(), platform::makeRect(0, 0, 63, 22));
}

TEST_F(StatusItemController, EverySizeSetsBothFramesAtTheItemsHeight) {
  auto manager = makeManager(bar);
  manager->setupStatusItem();
  mainThread.drain();
  const std::size_t before = bar.log.size();
  const Size sizes[] = {{76, 16}, {63, 16}, {63, 16}, {80.5, 40}, {0, 0}};
  for (const Size size : sizes)
    manager->sizePassthrough()->send(size);
  EXPECT_EQ(since(bar.log, before),
            (CallLog{"host.setFrame(0,0,76,22)", "button.setFrame(0,0,76,22)", "host.setFrame(0,0,63,22)",
                     "button.setFrame(0,0,63,22)", "host.setFrame(0,0,63,22)", "button.setFrame(0,0,63,22)",
                     "host.setFrame(0,0,80.5,22)", "button.setFrame(0,0,80.5,22)", "host.setFrame(0,0,0,22)",
                     "button.setFrame(0,0,0,22)"}));
}

TEST_F(StatusItemController, SigningOutAndInResizesTheItem) {
  auto manager = makeManager(bar);
  manager->setupStatusItem();
  mainThread.drain();
  channel.fifo().setAuthenticated(false);
  mainThread.drain();
  EXPECT_EQ(bar.lastButton->frame(), platform::makeRect(0, 0, 76, 22));
  channel.fifo().setAuthenticated(true);
  mainThread.drain();
  EXPECT_EQ(bar.lastButton->frame(), platform::makeRect(0, 0, 63, 22));
  EXPECT_EQ(bar.lastHost->frame(), platform::makeRect(0, 0, 63, 22));
}

TEST_F(StatusItemController, ItemWithoutButtonIsReportedAndShowsNothing) {
  testing::FakeStatusBar buttonless({.withButton = false});
  auto manager = makeManager(buttonless);
  ::testing::internal::CaptureStdout();
  manager->setupStatusItem();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Failed to create NSStatusItem button\n");
  EXPECT_EQ(buttonless.log,
            (CallLog{"statusItemWithLength(-1)", "makeHostingView", "channel", "host.setFrame(0,0,80,22)"}));
  EXPECT_NE(manager->statusItem(), nullptr);
  EXPECT_EQ(manager->hostingView(), nullptr);
  EXPECT_EQ(buttonless.liveHosts, 0);
  EXPECT_EQ(manager->sizePassthrough()->subscriberCount(), 0u);
  mainThread.drain();
  manager->sizePassthrough()->send({76, 16});
  EXPECT_EQ(buttonless.log.size(), 4u);
  EXPECT_EQ(manager->menubarPositionInfo(), std::nullopt);
}

TEST_F(StatusItemController, ChannelKeepsWorkingWithoutAButton) {
  testing::FakeStatusBar buttonless({.withButton = false});
  auto manager = makeManager(buttonless);
  ::testing::internal::CaptureStdout();
  manager->setupStatusItem();
  ::testing::internal::GetCapturedStdout();
  testing::OutgoingReader reader(channel.fifo().toMainPath());
  manager->toggleApp();
  EXPECT_EQ(reader.readLines(1), (std::vector<std::string>{R"({"action":"toggleApp"})"}));
}

TEST_F(StatusItemController, ButtonClickSendsToggleAppSilently) {
  auto manager = makeManager(bar);
  manager->setupStatusItem();
  mainThread.drain();
  testing::OutgoingReader reader(channel.fifo().toMainPath());
  ::testing::internal::CaptureStdout();
  bar.lastButton->click();
  manager->toggleApp();
  channel.fifo().sendMessage("end of test");
  const std::vector<std::string> sent = reader.readUntil("end of test");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(sent, (std::vector<std::string>{R"({"action":"toggleApp"})", R"({"action":"toggleApp"})"}));
}

TEST_F(StatusItemController, SubscriptionAndHostEndWithTheController) {
  auto manager = makeManager(bar);
  manager->setupStatusItem();
  const std::shared_ptr<SizeSubject> subject = manager->sizePassthrough();
  manager.reset();
  EXPECT_EQ(subject->subscriberCount(), 0u);
  EXPECT_EQ(bar.liveHosts, 0);
  subject->send({76, 16});  // reaches nobody
  mainThread.drain();       // the content's pending first pass is gone with it
}

}  // namespace
}  // namespace pellmor
