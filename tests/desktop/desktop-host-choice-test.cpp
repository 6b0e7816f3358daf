// The choice of host for the status item, and the line that says what is missing when there is none.

#include <gtest/gtest.h>

#include <string>

#include "Backends/Desktop/HostChoice.h"

namespace pellmor::desktop {
namespace {

// An X11 desktop with a session bus.
HostSituation x11(bool tray, std::optional<bool> givesWidth, bool watcher) {
  return {.xDisplay = true,
          .xembedTray = tray,
          .trayGivesWidth = givesWidth,
          .sessionBus = true,
          .watcher = watcher};
}

TEST(HostChoice, PicksTheFrontEndThatShowsTheWholeItem) {
  struct Case {
    const char* desktop;
    HostMode mode;
    HostSituation situation;
    Host expected;
  } const table[] = {
      {"trayer, not yet docked, a watcher", HostMode::automatic, x11(true, std::nullopt, true), Host::xembed},
      {"trayer gives the width, a watcher", HostMode::automatic, x11(true, true, true), Host::xembed},
      {"square tray, a watcher", HostMode::automatic, x11(true, false, true), Host::statusNotifier},
      {"square tray alone: its compact form", HostMode::automatic, x11(true, false, false), Host::xembed},
      {"no tray, a watcher", HostMode::automatic, x11(false, std::nullopt, true), Host::statusNotifier},
      {"no tray, no watcher", HostMode::automatic, x11(false, std::nullopt, false), Host::none},
      {"Xwayland with a tray and a watcher",
       HostMode::automatic,
       {.xDisplay = true,
        .waylandSession = true,
        .xembedTray = true,
        .trayGivesWidth = true,
        .sessionBus = true,
        .watcher = true},
       Host::statusNotifier},
      {"a watcher without a session bus is no watcher",
       HostMode::automatic,
       {.trayGivesWidth = std::nullopt, .watcher = true},
       Host::none},
      {"forced XEmbed into a square tray", HostMode::xembed, x11(true, false, true), Host::xembed},
      {"forced XEmbed, no tray", HostMode::xembed, x11(false, std::nullopt, true), Host::none},
      {"forced StatusNotifierItem beside a wide tray", HostMode::statusNotifier, x11(true, true, true),
       Host::statusNotifier},
      {"forced StatusNotifierItem, no watcher", HostMode::statusNotifier, x11(true, true, false), Host::none},
  };
  for (const Case& row : table) {
    EXPECT_EQ(chooseHost(row.mode, row.situation), row.expected) << row.desktop;
  }
}

TEST(HostChoice, ModeComesFromItsExactName) {
  EXPECT_EQ(hostModeFrom("xembed"), HostMode::xembed);
  EXPECT_EQ(hostModeFrom("sni"), HostMode::statusNotifier);
  EXPECT_EQ(hostModeFrom("SNI"), HostMode::automatic);
  EXPECT_EQ(hostModeFrom(nullptr), HostMode::automatic);
}

TEST(HostChoice, MissingHostLineNamesWhatIsMissing) {
  const std::string start = "No tray to show the status item in: ";
  EXPECT_EQ(missingHostLine(HostMode::automatic, {}), start + "no X display, no session bus");
  EXPECT_EQ(
      missingHostLine(HostMode::automatic, x11(false, std::nullopt, false)),
      start +
          "no XEmbed system tray on the X display, no StatusNotifierWatcher with a host on the session bus");
  EXPECT_EQ(missingHostLine(HostMode::xembed, x11(false, std::nullopt, false)),
            start + "no XEmbed system tray on the X display");
  EXPECT_EQ(missingHostLine(HostMode::statusNotifier, {.xDisplay = true, .trayGivesWidth = std::nullopt}),
            start + "no session bus");
}

TEST(HostChoice, CellGivesWidthOnlyToTheRowsOwnWidth) {
  struct Case {
    const char* tray;
    int width;
    int height;
    bool expected;
  } const table[] = {
      {"trayer", 63, 22, true},
      {"mate-panel", 63, 25, true},
      {"trayer at height 18", 63, 16, true},
      {"rounded up", 64, 22, true},
      {"rounded down", 62, 22, true},
      {"trayer at height 15", 63, 15, false},
      {"polybar", 16, 16, false},
      {"xfce4-panel", 22, 22, false},
      {"icewm", 32, 24, false},
      {"xembedsniproxy", 32, 32, false},
      {"lxqt-panel", 128, 128, false},
  };
  for (const Case& row : table) {
    EXPECT_EQ(cellGivesWidth(row.width, row.height, 63, 16), row.expected) << row.tray;
  }
}

}  // namespace
}  // namespace pellmor::desktop
