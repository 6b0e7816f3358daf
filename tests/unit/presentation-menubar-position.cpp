// Where the item sits: the button's left edge and width on screen, the top and height of its bar, with y
// measured downwards from the first screen's top edge.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "StatusItemManager.h"
#include "fakes/FakeClock.h"
#include "fakes/ManualMainThread.h"
#include "fakes/FakeStatusBar.h"
#include "fakes/FakeTicker.h"
#include "fakes/TempChannel.h"

namespace pellmor {
namespace {

using platform::makeRect;
using platform::Point;
using platform::Rect;

const Rect firstScreen = makeRect(0, 0, 1920, 1080);

class MenubarPosition : public ::testing::Test {
 protected:
  // A set-up controller whose item sits in a bar window; the button is as wide as the content says.
  std::optional<PositionRecord> positionOf(testing::FakeStatusBar::Configuration configuration,
                                           std::vector<Rect> screenList, double buttonWidth = 63) {
    testing::FakeStatusBar bar(configuration);
    testing::FakeScreens screens(std::move(screenList));
    StatusItemManager manager(environment(bar, screens));
    manager.setupStatusItem();
    mainThread.drain();
    manager.sizePassthrough()->send({buttonWidth, 16});
    return manager.menubarPositionInfo();
  }

  StatusItemManager::Environment environment(platform::StatusBar& bar, platform::Screens& screens) {
    StatusItemManager::Environment result;
    result.statusBar = &bar;
    result.screens = &screens;
    result.channel = [this]() -> FIFOManager& { return channel.fifo(); };
    result.content = {
        .channel = result.channel, .mainThread = &mainThread, .clock = &clock, .tickers = &tickers};
    return result;
  }

  testing::ManualMainThread mainThread;
  testing::FakeClock clock{1'700'000'000.0};
  testing::FakeTickerFactory tickers;
  testing::TempChannel channel{mainThread};
};

TEST_F(MenubarPosition, MeasuresTheButtonAndItsBar) {
  struct Case {
    const char* situation;
    Rect window;
    Point buttonInWindow;
    std::vector<Rect> screens;
    double buttonWidth;
    PositionRecord expected;
  };
  const Case table[] = {
      {"bar at the top of the first screen",
       makeRect(0, 1056, 1920, 24),
       {1500, 0},
       {firstScreen},
       63,
       {1500, 0, 63, 24}},
      {"bar 56 points below the top",
       makeRect(0, 1000, 1920, 24),
       {1500, 0},
       {firstScreen},
       63,
       {1500, 56, 63, 24}},
      {"signed out", makeRect(0, 1056, 1920, 24), {1400, 0}, {firstScreen}, 76, {1400, 0, 76, 24}},
      {"fractions kept",
       makeRect(10.25, 1030.25, 1900, 24.5),
       {1500.5, 0},
       {firstScreen},
       63.5,
       {1510.75, 25.25, 63.5, 24.5}},
      {"bar on a second, taller screen",
       makeRect(1920, 1416, 2560, 24),
       {2300, 0},
       {firstScreen, makeRect(1920, 0, 2560, 1440)},
       63,
       {4220, -360, 63, 24}},
      {"window with a negative height field",
       makeRect(0, 1080, 1920, -24),
       {1500, 0},
       {firstScreen},
       63,
       {1500, -24, 63, 24}},
  };
  for (const Case& row : table) {
    SCOPED_TRACE(row.situation);
    EXPECT_EQ(positionOf({.windowFrame = row.window, .buttonOriginInWindow = row.buttonInWindow}, row.screens,
                         row.buttonWidth),
              row.expected);
  }
}

TEST_F(MenubarPosition, AbsentWithoutItemButtonWindowOrScreen) {
  testing::FakeStatusBar bar;
  testing::FakeScreens screens({firstScreen});
  StatusItemManager notSetUp(environment(bar, screens));
  EXPECT_EQ(notSetUp.menubarPositionInfo(), std::nullopt);

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(positionOf({.withButton = false}, {firstScreen}), std::nullopt);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(positionOf({.windowFrame = std::nullopt}, {firstScreen}), std::nullopt);
  EXPECT_EQ(positionOf({}, {}), std::nullopt);
}

}  // namespace
}  // namespace pellmor
