// The tray dock's transitions, without an X server: a fake port plays the X server and the tray, and the
// test moves the clock.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "Backends/XEmbed/TrayDock.h"
#include "support/FakeTrayPort.h"

namespace pellmor::xembed {
namespace {

using namespace std::chrono_literals;
using testing::FakeTrayPort;
using Times = std::vector<std::chrono::milliseconds>;

constexpr PixelSize row{63, 22};

class TrayDockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dock.setOwnSize(row);
    port.windowRemade = [this] { dock.windowReplaced(row); };
  }

  // The tray reparents the window into a slot of the window's size and maps it.
  void trayTakes(PixelRect window = {0, 0, row.width, row.height}, PixelSize parent = row) {
    dock.reparentedIntoTray(window, parent);
    dock.mapped();
  }
  void advanceToNextRequest() {
    const std::size_t before = port.dockRequests.size();
    for (int step = 0; step < 6000 && port.dockRequests.size() == before; ++step)
      port.advance(10ms);
  }

  FakeTrayPort port;
  TrayDock dock{port};
};

TEST_F(TrayDockTest, AsksAgainWithDoublingDelaysUntilATrayTakesTheWindow) {
  dock.setEnabled(true, true);
  port.advance(7500ms);
  EXPECT_EQ(port.dockRequests, (Times{0ms, 500ms, 1500ms, 3500ms, 7500ms}));
  trayTakes();
  port.advance(60s);
  EXPECT_EQ(port.dockRequests.size(), 5u);
  EXPECT_EQ(dock.state(), DockState::settled);
}

TEST_F(TrayDockTest, ANewManagerIsAskedOnlyAfterAMoment) {
  dock.setEnabled(true, false);
  dock.managerChanged(true);
  port.advance(100ms);
  dock.managerChanged(true);  // announced twice: one request
  port.advance(900ms);
  EXPECT_EQ(port.dockRequests, (Times{600ms}));
}

TEST_F(TrayDockTest, DockingEnabledBecauseAManagerAppearedWaitsForItToo) {
  dock.managerChanged(true);  // while disabled
  port.advance(10ms);
  dock.setEnabled(true, true);
  port.advance(900ms);
  EXPECT_EQ(port.dockRequests, (Times{510ms}));
}

// Asked again later each time a tray hands the window back; once a tray has kept it, from the first delay.
TEST_F(TrayDockTest, ATrayThatHandsTheWindowBackIsAskedLessAndLessOftenUntilOneKeepsIt) {
  dock.setEnabled(true, true);
  for (int handBack = 0; handBack < 3; ++handBack) {
    trayTakes();
    dock.reparentedToRoot();
    advanceToNextRequest();
  }
  EXPECT_EQ(port.dockRequests, (Times{0ms, 500ms, 1500ms, 3500ms}));
  EXPECT_EQ(port.count("withdraw"), 3);  // never left on the desktop
  trayTakes();
  port.advance(TrayDock::settleDelay);
  const auto keptUntil = port.now();
  dock.reparentedToRoot();
  advanceToNextRequest();
  EXPECT_EQ(port.dockRequests.back() - keptUntil, TrayDock::firstRetryDelay);
}

TEST_F(TrayDockTest, ASilentTrayStillGetsTheItemShown) {
  struct Case {
    const char* tray;
    bool maps;
    std::chrono::milliseconds shownAfter;
  };
  for (const Case& c : {Case{"maps", true, 0ms}, Case{"never maps", false, TrayDock::silentTrayDelay}}) {
    FakeTrayPort port;
    TrayDock dock{port};
    dock.setEnabled(true, true);
    dock.reparentedIntoTray({0, 0, 63, 22}, row);
    if (c.maps) dock.mapped();
    port.advance(c.shownAfter - 1ms);
    EXPECT_EQ(port.count("showInTray"), c.shownAfter > 0ms ? 0 : 1) << c.tray;
    port.advance(1ms);
    EXPECT_EQ(port.count("showInTray"), 1) << c.tray;
  }
}

TEST_F(TrayDockTest, AWindowDestroyedInItsSlotIsMadeAnewAndDocksAgain) {
  dock.setEnabled(true, true);
  trayTakes();
  dock.windowDestroyed();
  EXPECT_EQ(port.count("recreateWindow"), 1);
  advanceToNextRequest();
  EXPECT_EQ(port.dockRequests, (Times{0ms, 500ms}));
}

TEST_F(TrayDockTest, AWindowMadeAnewAtTheLastSlotsSizeGoesBackToTheItemsOwnForTheNextTray) {
  // mate-panel restarted: the window made anew for the new manager's visual comes out at the old 63 x 25
  // slot. Left so, the new tray would find it at its slot's size, resize nothing, and lose the slot to the
  // window's own resize arriving later.
  dock.setEnabled(true, true);
  trayTakes({0, 0, 63, 25}, {63, 25});
  dock.windowConfigured({0, 0, 63, 25});
  port.advance(TrayDock::settleDelay);
  dock.managerChanged(false);  // out of the old tray; the old window's resize is never confirmed
  dock.windowReplaced({63, 25});
  EXPECT_EQ(port.resizes.back(), row);
  dock.windowConfigured({0, 0, 63, 22});
  dock.managerChanged(true);
  port.advance(TrayDock::managerStartDelay);
  trayTakes({0, 0, 63, 22}, {1, 1});
  dock.parentResized({63, 25});
  dock.windowConfigured({0, 0, 63, 25});  // the new tray
  port.advance(TrayDock::settleDelay);
  EXPECT_EQ(port.resizes.back(), (PixelSize{63, 25}));
  EXPECT_EQ(port.fittedCell, (PixelRect{0, 0, 63, 25}));
}

TEST_F(TrayDockTest, ANewManagerTakesTheWindowOutOfTheOldTray) {
  dock.setEnabled(true, true);
  trayTakes();
  port.advance(TrayDock::settleDelay);
  dock.managerChanged(true);
  EXPECT_EQ(port.count("withdrawToRoot"), 1);  // not left unmapped inside the old tray
  port.advance(TrayDock::managerStartDelay);
  EXPECT_EQ(port.dockRequests.size(), 2u);
}

TEST_F(TrayDockTest, DisabledTheWindowStaysOutOfEveryTray) {
  dock.setEnabled(true, true);
  trayTakes();
  dock.setEnabled(false, true);
  EXPECT_EQ(port.count("withdrawToRoot"), 1);
  dock.reparentedIntoTray({0, 0, 63, 22}, row);  // a tray that docks it all the same
  dock.mapped();
  EXPECT_EQ(port.count("withdrawToRoot"), 2);
  EXPECT_EQ(port.count("showInTray"), 1);
}

TEST_F(TrayDockTest, AWindowMappedOnTheRootWindowIsUnmapped) {
  dock.setEnabled(true, false);
  dock.mapped();  // the X server maps it when the tray that held it exits
  EXPECT_EQ(port.calls, (std::vector<std::string>{"withdraw"}));
}

TEST_F(TrayDockTest, TheCellCountsOnceTheTrayHasSettledOnIt) {
  dock.setEnabled(true, true);
  // GNOME's tray: 1 x 1 first, the slot it keeps a moment later.
  dock.reparentedIntoTray({0, 0, 63, 22}, {1, 1});
  dock.windowConfigured({0, 0, 1, 1});
  dock.mapped();
  port.advance(2ms);
  dock.windowConfigured({0, 0, 63, 16});
  dock.parentResized({63, 16});
  port.advance(TrayDock::settleDelay - 1ms);
  EXPECT_EQ(port.cellChanges, 0);
  EXPECT_FALSE(dock.settledCell());
  port.advance(1ms);
  EXPECT_EQ(port.cellChanges, 1);
  EXPECT_EQ(dock.settledCell(), (SettledCell{{0, 0, 63, 16}, true}));
}

TEST_F(TrayDockTest, ASlotOfAPixelIsWaitedOutUntilTheTrayLaysItOut) {
  dock.setEnabled(true, true);
  // GNOME's tray on a busy machine: the 1 x 1 slot for a few seconds, then the one it keeps.
  dock.reparentedIntoTray({0, 0, 1, 1}, {1, 1});
  dock.mapped();
  port.advance(3s);
  EXPECT_EQ(port.cellChanges, 0);
  dock.windowConfigured({0, 0, 63, 16});
  dock.parentResized({63, 16});
  port.advance(TrayDock::settleDelay);
  EXPECT_EQ(dock.settledCell(), (SettledCell{{0, 0, 63, 16}, true}));
  EXPECT_EQ(port.cellChanges, 1);
}

TEST_F(TrayDockTest, ASlotBehindTheItemsNewSizeIsWaitedOut) {
  struct Case {
    const char* tray;
    std::optional<PixelSize> slotLater;  // the slot the tray lays out 3 s later, if any
    SettledCell settled;
  };
  for (const Case& c : {Case{"mate-panel on a busy machine", PixelSize{76, 22}, {{0, 0, 76, 22}, true}},
                        Case{"a slot that never grows", std::nullopt, {{0, 0, 63, 22}, true}}}) {
    FakeTrayPort port;
    TrayDock dock{port};
    dock.setOwnSize(row);
    dock.setEnabled(true, true);
    dock.reparentedIntoTray({0, 0, 63, 22}, row);
    dock.mapped();
    dock.setOwnSize({76, 22});              // the item grows before the tray has settled
    port.advance(1s);                       // a busy process: the notice of its own resize comes late
    dock.windowConfigured({0, 0, 76, 22});  // in the 63 x 22 slot
    port.advance(3s);
    EXPECT_EQ(port.cellChanges, 0) << c.tray;
    if (c.slotLater) dock.parentResized(*c.slotLater);
    port.advance(TrayDock::placeholderSettleDelay);
    EXPECT_EQ(dock.settledCell(), c.settled) << c.tray;
  }
}

TEST_F(TrayDockTest, TheSameCellForANewSizeIsReportedAgain) {
  // A tray that gave the row its width and does not follow it: the wider row no longer fits.
  dock.setEnabled(true, true);
  trayTakes();
  port.advance(TrayDock::settleDelay);
  ASSERT_EQ(port.cellChanges, 1);
  dock.setOwnSize({76, 22});
  dock.windowConfigured({0, 0, 76, 22});
  port.advance(TrayDock::placeholderSettleDelay);
  EXPECT_EQ(dock.settledCell(), (SettledCell{{0, 0, 63, 22}, true}));
  EXPECT_EQ(port.cellChanges, 2);
}

TEST_F(TrayDockTest, TheWindowKeepsToTheSlotTheTrayGives) {
  struct Case {
    const char* tray;
    PixelRect given;  // the window's geometry after the tray has configured it
    PixelSize parent;
    PixelSize afterGrowing;  // the window once the item asks for 76 x 22
    PixelRect cell;
  };
  for (const Case& c : {
           Case{"trayer: follows the item", {0, 0, 63, 22}, {63, 22}, {76, 22}, {0, 0, 63, 22}},
           Case{"icewm: slots of its own", {0, 0, 32, 24}, {32, 24}, {32, 24}, {0, 0, 32, 24}},
           Case{"mate-panel: its height, the item's width",
                {0, 0, 63, 25},
                {63, 25},
                {76, 25},
                {0, 0, 63, 25}},
           Case{
               "polybar: 16 x 16 inside a larger window", {4, 4, 16, 16}, {24, 24}, {16, 16}, {0, 0, 16, 16}},
       }) {
    FakeTrayPort port;
    TrayDock dock{port};
    dock.setOwnSize(row);
    dock.setEnabled(true, true);
    dock.windowConfigured(c.given);  // polybar sizes the window before reparenting it
    dock.reparentedIntoTray(c.given, c.parent);
    dock.mapped();
    EXPECT_EQ(port.fittedCell, c.cell) << c.tray;
    port.fittedCell = PixelRect{0, 0, 76, 22};  // the item lays its content out at its new size
    dock.setOwnSize({76, 22});
    EXPECT_EQ(port.resizes.back(), c.afterGrowing) << c.tray;
    EXPECT_EQ(port.fittedCell, c.cell) << c.tray << ": the content is back in the cell";
  }
}

TEST_F(TrayDockTest, ItsOwnResizesArrivingLateAreNotTakenForTheTrays) {
  dock.setEnabled(true, true);
  trayTakes();
  dock.setOwnSize({76, 22});
  dock.setOwnSize({80, 22});
  dock.windowConfigured({0, 0, 76, 22});
  dock.windowConfigured({0, 0, 80, 22});
  EXPECT_EQ(port.resizes.back(), (PixelSize{80, 22}));
}

TEST_F(TrayDockTest, ASlotSmallerForAMomentIsFollowedBackToItsSize) {
  // lxpanel while its panel settles: a 24 x 24 slot, 22 high for a moment, then 24 x 24 again. Each time
  // the window asks for the size it has already, which the X server does not report.
  dock.windowConfigured({0, 0, 63, 22});  // its own size, as asked
  dock.setEnabled(true, true);
  trayTakes({0, 0, 63, 22}, {1, 1});
  dock.parentResized({24, 24});
  dock.windowConfigured({0, 0, 24, 24});  // the tray
  dock.windowConfigured({0, 0, 24, 22});  // the tray, for a moment
  dock.windowConfigured({0, 0, 24, 24});  // the tray again
  EXPECT_EQ(port.resizes.back(), (PixelSize{24, 24}));
}

TEST_F(TrayDockTest, ASlotTheTrayGivesIsTakenWithoutAskingTheXServer) {
  // trayer lays a new slot out 1 x 22 first and 63 x 22 a moment later: a request for the 1 x 22 sent in
  // between reaches the X server after the 63 and shrinks the window inside its slot for good.
  dock.windowConfigured({0, 0, 63, 22});  // its own size, as asked
  dock.setEnabled(true, true);
  trayTakes();
  const std::vector<PixelSize> asked = port.serverResizes;
  dock.windowConfigured({0, 0, 1, 22});
  dock.windowConfigured({0, 0, 63, 22});
  port.advance(TrayDock::settleDelay);
  EXPECT_EQ(port.serverResizes, asked);
  EXPECT_EQ(port.resizes.back(), row);
  EXPECT_EQ(dock.settledCell(), (SettledCell{{0, 0, 63, 22}, true}));
}

TEST_F(TrayDockTest, ATrayWindowNobodySeesIsReportedSo) {
  struct Case {
    const char* tray;
    std::optional<PixelRect> onScreen;
    SettledCell settled;
  };
  for (const Case& c : {Case{"hidden or transparent", std::nullopt, {{0, 0, 63, 22}, false}},
                        Case{"past the screen's edge", PixelRect{0, 0, 59, 22}, {{0, 0, 59, 22}, true}}}) {
    FakeTrayPort port;
    port.screen = [&c](PixelRect) { return c.onScreen; };
    TrayDock dock{port};
    dock.setOwnSize(row);
    dock.setEnabled(true, true);
    dock.reparentedIntoTray({0, 0, 63, 22}, row);
    dock.mapped();
    port.advance(TrayDock::settleDelay);
    EXPECT_EQ(dock.settledCell(), c.settled) << c.tray;
  }
}

}  // namespace
}  // namespace pellmor::xembed
