// The choice of host for the status item, and the line that says what is missing when there is none.

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <utility>

#include "Backends/Desktop/HostChoice.h"
#include "Backends/XEmbed/TrayCell.h"

namespace pellmor::desktop {
namespace {

using sni::StatusNotifierHost;

// An X11 desktop with a session bus.
HostSituation x11(bool tray, std::optional<bool> givesWidth, bool watcher,
                  StatusNotifierHost host = StatusNotifierHost::unknown) {
  return {.xDisplay = true,
          .xembedTray = tray,
          .trayGivesWidth = givesWidth,
          .sessionBus = true,
          .watcher = watcher,
          .statusNotifierHost = watcher ? host : StatusNotifierHost::unknown};
}

// The same with Pellmor Status's GNOME Shell extension enabled.
HostSituation withShellExtension(HostSituation situation) {
  situation.shellExtension = true;
  return situation;
}

// Each row: the desktop, PELLMOR_STATUS_HOST, what it offers, the host chosen.
TEST(HostChoice, PicksTheFrontEndThatShowsTheItemBest) {
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
      {"GNOME's tray settled on the width", nullptr, x11(true, true, true, StatusNotifierHost::gnomeShell),
       Host::xembed},
      {"GNOME's tray squashes: the label beside the icon", nullptr,
       x11(true, false, true, StatusNotifierHost::gnomeShell), Host::statusNotifier},
      {"xfce4-panel: its 22 x 22 slot, not a sliver", nullptr,
       x11(true, false, true, StatusNotifierHost::xfcePanel), Host::xembed},
      {"Plasma: never into xembedsniproxy", nullptr,
       x11(true, std::nullopt, true, StatusNotifierHost::plasma), Host::statusNotifier},
      {"lxqt-panel: never into its proxy", nullptr,
       x11(true, std::nullopt, true, StatusNotifierHost::lxqtPanel), Host::statusNotifier},
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

// Runs the chooser through situations at given milliseconds, waking it when it asks, and writes down each
// front end it shows ("xembed", "sni", "gnome") and each missing-host line ("line"), with the time.
std::string historyOf(std::initializer_list<std::pair<int, HostSituation>> events, int endMs) {
  using Clock = HostChooser::Clock;
  const Clock::time_point start{};
  HostChooser chooser(HostMode::automatic);
  std::string history;
  Host shown = Host::none;
  std::optional<Clock::time_point> wake;
  HostSituation situation;
  const auto step = [&](Clock::time_point now) {
    const HostChooser::Step next = chooser.update(situation, now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
    if (next.announceMissingHost) history += "line@" + std::to_string(ms) + " ";
    if (next.host != shown) {
      const char* name = next.host == Host::xembed       ? "xembed@"
                         : next.host == Host::gnomeShell ? "gnome@"
                                                         : "sni@";
      history += name + std::to_string(ms) + " ";
    }
    shown = next.host;
    wake = next.wakeAt;
  };
  for (const auto& [ms, next] : events) {
    const Clock::time_point at = start + std::chrono::milliseconds(ms);
    while (wake && *wake <= at)
      step(*wake);
    situation = next;
    step(at);
  }
  while (wake && *wake <= start + std::chrono::milliseconds(endMs))
    step(*wake);
  return history;
}

// Each row: what happens, the situations in time, what the item did. The chooser settles 600 ms after the
// hosts present change (2 s when the host showing the item went) and announces a missing host after 5 s
// without one.
TEST(HostChoice, FollowsHostsWithoutFlipping) {
  const HostSituation nothing = x11(false, std::nullopt, false);
  const auto gnome = [](bool tray, std::optional<bool> width, bool watcher) {
    return x11(tray, width, watcher, StatusNotifierHost::gnomeShell);
  };
  struct Case {
    const char* what;
    std::initializer_list<std::pair<int, HostSituation>> events;
    const char* expected;
  } const table[] = {
      {"a restarted shell brings its watcher, then its tray: the item docks, never registers",
       {{0, gnome(true, true, true)},
        {5000, nothing},
        {5300, gnome(false, std::nullopt, true)},
        {5700, gnome(true, std::nullopt, true)},
        {6400, gnome(true, true, true)}},
       "xembed@600 "},
      {"a shell going down takes its tray, then its watcher; the new one comes 3 s later: docked, no line",
       {{0, gnome(true, true, true)},
        {5000, gnome(false, std::nullopt, true)},
        {5650, nothing},
        {8300, gnome(true, std::nullopt, true)},
        {8900, gnome(true, true, true)}},
       "xembed@600 "},
      {"a tray removed for good beside the watcher: the item moves once it has stayed away",
       {{0, gnome(true, true, true)}, {5000, gnome(false, std::nullopt, true)}},
       "xembed@600 sni@7000 "},
      {"the tray shows up after the watcher settled: one switch, and it holds on a squashing cell",
       {{0, gnome(false, std::nullopt, true)},
        {2000, gnome(true, std::nullopt, true)},
        {2700, gnome(true, false, true)}},
       "sni@600 xembed@2600 "},
      {"a square tray measured at start: the one switch goes to the watcher",
       {{0, x11(true, std::nullopt, true)}, {700, x11(true, false, true)}},
       "xembed@600 sni@700 "},
      {"an unknown host shows the item: a new tray is not worth a switch",
       {{0, x11(false, std::nullopt, true)}, {2000, x11(true, std::nullopt, true)}},
       "sni@600 "},
      {"a bar that starts after the companion: no line, no withdrawal",
       {{0, nothing}, {1500, x11(false, std::nullopt, true)}},
       "sni@2100 "},
      {"a watcher gone for a moment: the item stays where it is",
       {{0, x11(false, std::nullopt, true)}, {3000, nothing}, {3400, x11(false, std::nullopt, true)}},
       "sni@600 "},
      {"GNOME Shell with the AppIndicator extension and ours, whose name comes a moment later: ours alone",
       {{0, gnome(true, std::nullopt, true)}, {300, withShellExtension(gnome(true, std::nullopt, true))}},
       "gnome@900 "},
      {"our extension enabled after the AppIndicator one settled: one switch to ours",
       {{0, gnome(true, true, true)}, {2000, withShellExtension(gnome(true, true, true))}},
       "xembed@600 gnome@2600 "},
      {"without a host for good: one line, again after the next loss",
       {{0, nothing}, {6000, x11(true, std::nullopt, false)}, {8000, nothing}},
       "line@5000 xembed@6600 line@13000 "},
  };
  for (const Case& row : table)
    EXPECT_EQ(historyOf(row.events, 20000), row.expected) << row.what;
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

// A 63 x 25 cell in a panel on a 1280 x 800 screen; the part is in the cell's coordinates.
TEST(HostChoice, AnAutoHidingPanelShowsTheWholeCellAndAParkedWindowNothing) {
  using xembed::PixelRect;
  struct Case {
    const char* panel;
    PixelRect cell;
    PixelRect panelOnRoot;
    PixelRect expected;
  } const table[] = {
      {"on the screen", {1090, 0, 63, 25}, {0, 0, 1280, 25}, {0, 0, 63, 25}},
      {"mate-panel hidden, a pixel left", {1090, -24, 63, 25}, {0, -24, 1280, 25}, {0, 0, 63, 25}},
      {"xfce4-panel hidden, all out", {1143, -27, 63, 25}, {0, -29, 1280, 27}, {0, 0, 63, 25}},
      {"bottom panel hidden", {1090, 799, 63, 25}, {0, 799, 1280, 25}, {0, 0, 63, 25}},
      {"left panel hidden", {-24, 300, 25, 63}, {-24, 0, 25, 800}, {0, 0, 25, 63}},
      {"longer than the screen", {1250, 0, 63, 25}, {0, 0, 1400, 25}, {0, 0, 30, 25}},
      {"past the screen's end", {1300, 0, 63, 25}, {0, 0, 1400, 25}, {}},
      {"parked far off", {-2000, -2000, 63, 25}, {-2000, -2000, 200, 25}, {}},
      {"parked far below", {100, 2000, 63, 25}, {0, 2000, 1280, 25}, {}},
  };
  for (const Case& row : table) {
    EXPECT_EQ(xembed::partShownByPanel(row.cell, row.panelOnRoot, {1280, 800}), row.expected) << row.panel;
  }
}

}  // namespace
}  // namespace pellmor::desktop
