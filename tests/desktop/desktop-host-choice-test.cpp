// The choice of host for the status item, and the line that says what is missing when there is none.

#include <gtest/gtest.h>

#include <string>

#include "Backends/Desktop/HostChoice.h"

namespace pellmor::desktop {
namespace {

struct ChoiceCase {
  const char* desktop;
  HostMode mode;
  HostSituation situation;
  Host expected;
};

// A desktop as a row of facts, in the order of HostSituation's fields.
HostSituation desktop(bool xDisplay, bool waylandSession, bool xembedTray, std::optional<bool> givesWidth,
                      bool sessionBus, bool watcher) {
  return HostSituation{xDisplay, waylandSession, xembedTray, givesWidth, sessionBus, watcher};
}

HostSituation x11WithTray(std::optional<bool> givesWidth, bool watcher) {
  return desktop(true, false, true, givesWidth, true, watcher);
}

TEST(HostChoice, PicksTheFrontEndThatShowsTheWholeItem) {
  const HostSituation wayland = desktop(false, true, false, std::nullopt, true, true);
  const HostSituation xwaylandWithTray = desktop(true, true, true, true, true, true);
  const HostSituation x11NoTray = desktop(true, false, false, std::nullopt, true, false);
  const HostSituation x11NoTrayWatcher = desktop(true, false, false, std::nullopt, true, true);
  const ChoiceCase table[] = {
      {"trayer, not yet docked, no watcher", HostMode::automatic, x11WithTray(std::nullopt, false),
       Host::xembed},
      {"trayer, not yet docked, a watcher", HostMode::automatic, x11WithTray(std::nullopt, true),
       Host::xembed},
      {"trayer gives the width, a watcher", HostMode::automatic, x11WithTray(true, true), Host::xembed},
      {"square tray, a watcher", HostMode::automatic, x11WithTray(false, true), Host::statusNotifier},
      {"square tray alone: its compact form", HostMode::automatic, x11WithTray(false, false), Host::xembed},
      {"no tray, a watcher", HostMode::automatic, x11NoTrayWatcher, Host::statusNotifier},
      {"no tray, no watcher", HostMode::automatic, x11NoTray, Host::none},
      {"Wayland with a watcher", HostMode::automatic, wayland, Host::statusNotifier},
      {"Xwayland with a tray and a watcher", HostMode::automatic, xwaylandWithTray, Host::statusNotifier},
      {"a watcher without a session bus is no watcher", HostMode::automatic,
       desktop(false, false, false, std::nullopt, false, true), Host::none},
      {"forced XEmbed into a square tray", HostMode::xembed, x11WithTray(false, true), Host::xembed},
      {"forced XEmbed, no tray", HostMode::xembed, x11NoTrayWatcher, Host::none},
      {"forced StatusNotifierItem beside a wide tray", HostMode::statusNotifier, x11WithTray(true, true),
       Host::statusNotifier},
      {"forced StatusNotifierItem, no watcher", HostMode::statusNotifier, x11WithTray(true, false),
       Host::none},
  };
  for (const ChoiceCase& row : table) {
    SCOPED_TRACE(row.desktop);
    EXPECT_EQ(chooseHost(row.mode, row.situation), row.expected);
  }
}

TEST(HostChoice, ModeComesFromItsExactName) {
  EXPECT_EQ(hostModeFrom("xembed"), HostMode::xembed);
  EXPECT_EQ(hostModeFrom("sni"), HostMode::statusNotifier);
  EXPECT_EQ(hostModeFrom("auto"), HostMode::automatic);
  EXPECT_EQ(hostModeFrom("SNI"), HostMode::automatic);
  EXPECT_EQ(hostModeFrom(""), HostMode::automatic);
  EXPECT_EQ(hostModeFrom(nullptr), HostMode::automatic);
}

TEST(HostChoice, MissingHostLineNamesWhatIsMissing) {
  struct Case {
    HostMode mode;
    HostSituation situation;
    std::string line;
  };
  const std::string start = "No tray to show the status item in: ";
  const Case table[] = {
      {HostMode::automatic, desktop(false, false, false, std::nullopt, false, false),
       start + "no X display, no session bus"},
      {HostMode::automatic, desktop(true, false, false, std::nullopt, true, false),
       start +
           "no XEmbed system tray on the X display, no StatusNotifierWatcher with a host on the session bus"},
      {HostMode::automatic, desktop(false, true, false, std::nullopt, true, false),
       start + "no X display, no StatusNotifierWatcher with a host on the session bus"},
      {HostMode::xembed, desktop(true, false, false, std::nullopt, true, false),
       start + "no XEmbed system tray on the X display"},
      {HostMode::statusNotifier, desktop(true, false, false, std::nullopt, false, false),
       start + "no session bus"},
  };
  for (const Case& row : table)
    EXPECT_EQ(missingHostLine(row.mode, row.situation), row.line);
}

TEST(HostChoice, CellGivesWidthOnlyToTheRowsOwnWidth) {
  struct Case {
    const char* tray;
    int width;
    int height;
    bool expected;
  };
  const Case table[] = {
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
    SCOPED_TRACE(row.tray);
    EXPECT_EQ(cellGivesWidth(row.width, row.height, 63, 16), row.expected);
  }
}

}  // namespace
}  // namespace pellmor::desktop
