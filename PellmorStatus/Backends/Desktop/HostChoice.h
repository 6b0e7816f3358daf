#pragma once

#include "Backends/BackendLayer.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "Backends/StatusNotifier/StatusNotifierHost.h"

namespace pellmor::desktop {

// Which front end shows the item: the X11 system tray (XEmbed), a StatusNotifierItem host, or GNOME Shell's
// top bar through Pellmor Status's own shell extension.
enum class Host { none, xembed, statusNotifier, gnomeShell };

// PELLMOR_STATUS_HOST: "xembed", "sni" or "gnome-shell" forces that front end; anything else (or nothing)
// chooses.
enum class HostMode { automatic, xembed, statusNotifier, gnomeShell };
HostMode hostModeFrom(const char* value);

// What the desktop offers right now.
struct HostSituation {
  bool xDisplay = false;        // an X display answers
  bool waylandSession = false;  // WAYLAND_DISPLAY is set
  bool xembedTray = false;      // a tray manager owns the system tray selection
  // Whether the cell the tray settled on shows the item's whole row; unknown until the item has been
  // docked into the current tray and the tray has stopped resizing it.
  std::optional<bool> trayGivesWidth;
  bool sessionBus = false;  // connected to a session bus
  bool watcher = false;     // a StatusNotifierWatcher with a host runs on it
  sni::StatusNotifierHost statusNotifierHost = sni::StatusNotifierHost::unknown;  // who draws its items
  bool shellExtension = false;  // Pellmor Status's GNOME Shell extension is enabled on the session bus
  friend bool operator==(const HostSituation&, const HostSituation&) = default;
};

// Where a desktop that runs both an XEmbed tray and a StatusNotifierItem host shows the item better.
enum class TrayPreference {
  // The host shows the item readably (a label beside its icon, or a compact square); the tray is better
  // only where its cell shows the whole row, as the item draws it, with a click for each segment.
  trayWhereItGivesWidth,
  // The host fits the wide row into a square (a sliver); the tray's cell shows the compact form whole.
  tray,
  // The desktop's XEmbed tray is a proxy that hides or crops the item for this host, or a Wayland bar.
  statusNotifier,
};
// One row per host this program knows; an unknown host is taken to show the item readably.
TrayPreference trayPreferenceOf(sni::StatusNotifierHost host);

// The rule: Pellmor Status's GNOME Shell extension wherever it is enabled (it shows the whole item at the
// top bar's height, better than a tray or an indicator host in the same shell). Otherwise a
// StatusNotifierItem host on Wayland or where no tray runs, the tray where no host runs, and where both
// run, the one that shows the item better (trayPreferenceOf). While the tray's cell is unknown the item
// docks to measure it.
Host chooseHost(HostMode mode, const HostSituation& situation);

// Follows the choice as hosts come and go, without flipping: a change of the hosts present is acted on
// only once it has held for `settleTime` (a restarted shell brings its tray and its watcher a moment
// apart), or `lossSettleTime` when it took away the host showing the item (a shell going down takes its
// tray and its watcher a moment apart too), and the front end changes at most once per change of the
// hosts present. The line that no host shows the item is due only once the item has been without one for
// `lineGrace` (a shell restarting on a busy machine leaves it without one for seconds).
class HostChooser {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration settleTime = std::chrono::milliseconds(600);
  static constexpr Clock::duration lossSettleTime = std::chrono::milliseconds(2000);
  static constexpr Clock::duration lineGrace = std::chrono::milliseconds(5000);

  struct Step {
    Host host;                                // the front end to show the item on (none: neither yet)
    bool announceMissingHost;                 // print the missing-host line now, once
    std::optional<Clock::time_point> wakeAt;  // call update again then, if nothing happens before
  };

  explicit HostChooser(HostMode mode) : mode_(mode) {}

  // Called on every change of the situation and at the wake-up time asked for.
  Step update(const HostSituation& situation, Clock::time_point now);

 private:
  struct Presence {
    bool tray, watcher, sessionBus, shellExtension;
    sni::StatusNotifierHost host;
    friend bool operator==(const Presence&, const Presence&) = default;
  };
  static Presence presenceIn(const HostSituation& situation);
  bool lostCurrentHost(const Presence& presence) const;
  Host settledChoice(const HostSituation& situation) const;
  std::optional<Clock::time_point> noteHostless(bool hostless, Clock::time_point now, bool& announce);

  HostMode mode_;
  std::optional<Presence> presence_;
  Clock::time_point presenceSince_{};
  Clock::duration presenceSettleTime_ = settleTime;
  bool switched_ = false;  // the front end changed since the hosts present last changed
  Host host_ = Host::none;
  std::optional<Clock::time_point> hostlessSince_;
  bool announced_ = false;
};

// Whether the Qt process can show the item at all: an X display to find a tray on, or a session bus to
// find a StatusNotifierWatcher on (each only when the mode allows it).
bool desktopReachable(HostMode mode, bool xDisplay, bool sessionBus);

// The one line for standard error when no host can show the item, naming what is missing.
std::string missingHostLine(HostMode mode, const HostSituation& situation);

}  // namespace pellmor::desktop
