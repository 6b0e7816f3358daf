// The choice of host for the status item, and the line that says what is missing when there is none.

#include <gtest/gtest.h>

#include <string>

#include "Backends/Desktop/HostChoice.h"
#include "Backends/XEmbed/TrayCell.h"

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

// The same with Pellmor Status's GNOME Shell extension enabled.
HostSituation withShellExtension(HostSituation situation) {
  situation.shellExtension = true;
  return situation;
}

// Each row: the desktop, PELLMOR_STATUS_HOST, what it offers, the host chosen.
TEST(HostChoice, PicksTheFrontEndThatShowsTheWholeItem) {
  struct Case {
    const char* desktop;
    const char* mode;
    HostSituation situation;
    Host expected;
  } const table[] = {
      {"trayer, not yet docked, a watcher", nullptr, x11(true, std::nullopt, true), Host::xembed},
      {"trayer gives the width, a watcher", "", x11(true, true, true), Host::xembed},
      {"square tray, a watcher", nullptr, x11(true, false, true), Host::statusNotifier},
      {"square tray alone: its compact form", nullptr, x11(true, false, false), Host::xembed},
      {"no tray, a watcher", nullptr, x11(false, std::nullopt, true), Host::statusNotifier},
      {"no tray, no watcher", nullptr, x11(false, std::nullopt, false), Host::none},
      {"forced XEmbed into a square tray", "xembed", x11(true, false, true), Host::xembed},
      {"forced XEmbed, no tray", "xembed", x11(false, std::nullopt, true), Host::none},
      {"forced StatusNotifierItem beside a wide tray", "sni", x11(true, true, true), Host::statusNotifier},
      {"forced StatusNotifierItem, no watcher", "sni", x11(true, true, false), Host::none},
      {"our shell extension beside a wide tray and a watcher", nullptr,
       withShellExtension(x11(true, true, true)), Host::gnomeShell},
      {"forced XEmbed beside our shell extension", "xembed", withShellExtension(x11(true, true, true)),
       Host::xembed},
      {"forced shell extension, none enabled", "gnome-shell", x11(true, true, true), Host::none},
  };
  for (const Case& row : table) {
    EXPECT_EQ(chooseHost(hostModeFrom(row.mode), row.situation), row.expected) << row.desktop;
  }
  HostSituation xwayland = x11(true, true, true);
  xwayland.waylandSession = true;
  EXPECT_EQ(chooseHost(HostMode::automatic, xwayland), Host::statusNotifier) << "Xwayland";
}

TEST(HostChoice, MissingHostLineNamesWhatIsMissing) {
  const std::string start = "No tray to show the status item in: ";
  const std::string noTray = "no XEmbed system tray on the X display";
  const HostSituation bare = x11(false, std::nullopt, false);
  EXPECT_EQ(missingHostLine(HostMode::automatic, bare),
            start + noTray + ", no StatusNotifierWatcher with a host on the session bus");
  EXPECT_EQ(missingHostLine(HostMode::xembed, bare), start + noTray);
  EXPECT_EQ(missingHostLine(HostMode::statusNotifier, {.xDisplay = true, .trayGivesWidth = std::nullopt}),
            start + "no session bus");
  EXPECT_EQ(missingHostLine(HostMode::gnomeShell, bare),
            start + "no Pellmor Status extension enabled in GNOME Shell");
}

// A row of 63 x 16 pixels.
TEST(HostChoice, CellGivesWidthOnlyToTheRowsOwnWidth) {
  struct Case {
    const char* tray;
    int width;
    int height;
    bool expected;
  } const table[] = {
      {"trayer at height 18", 63, 16, true},
      {"trayer at height 15", 63, 15, false},
      {"rounded up", 64, 22, true},
      {"rounded down", 62, 22, true},
      {"icewm", 32, 24, false},
      {"lxqt-panel", 128, 128, false},
  };
  for (const Case& row : table) {
    EXPECT_EQ(xembed::cellGivesWidth(row.width, row.height, 63, 16), row.expected) << row.tray;
  }
}

}  // namespace
}  // namespace pellmor::desktop
