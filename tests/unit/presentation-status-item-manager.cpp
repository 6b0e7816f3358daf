// Where the controller's item sits: the button's left edge and width on screen, the top and height of its
// bar, with y measured downwards from the first screen's top edge.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "StatusItemManager.h"
#include "support/Channel.h"
#include "support/MenuBar.h"

namespace pellmor {
namespace {

using platform::makeRect;
using platform::Rect;

TEST(StatusItemController, PositionMeasuresTheButtonAndItsBar) {
  const Rect firstScreen = makeRect(0, 0, 1920, 1080);
  const struct {
    Rect window;
    double buttonX;  // in the window
    std::vector<Rect> screens;
    std::optional<PositionRecord> expected;
  } table[] = {
      {makeRect(10.25, 1030.25, 1900, 24.5), 1500.5, {firstScreen}, {{1510.75, 25.25, 63, 24.5}}},
      // On a taller screen left of the first one.
      {makeRect(-2560, 1416, 2560, 24),
       2300,
       {firstScreen, makeRect(-2560, 0, 2560, 1440)},
       {{-260, -360, 63, 24}}},
      {makeRect(0, 1056, 1920, 24), 1500, {}, std::nullopt},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.buttonX);
    testing::ManualMainThread mainThread;
    testing::FakeClock clock;
    testing::FakeTickerFactory tickers;
    testing::TempChannel channel{mainThread};
    testing::MenuBar bar(row.window, {row.buttonX, 0});
    const testing::FakeScreens screens(row.screens);
    const auto fifo = [&]() -> FIFOManager& { return channel.fifo(); };
    StatusItemManager manager(
        {&bar,
         &screens,
         fifo,
         {.channel = fifo, .mainThread = &mainThread, .clock = &clock, .tickers = &tickers}});
    manager.setupStatusItem();
    mainThread.drain();  // the content measures its width
    EXPECT_EQ(manager.menubarPositionInfo(), row.expected);
  }
}

}  // namespace
}  // namespace pellmor
