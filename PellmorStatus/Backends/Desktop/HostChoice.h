#pragma once

#include "Backends/BackendLayer.h"

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
  // Whether the tray gave the item a cell as wide as the item and at least as high as its row; unknown
  // until the item has been docked once into the current tray.
  std::optional<bool> trayGivesWidth;
  bool sessionBus = false;  // connected to a session bus
  bool watcher = false;     // a StatusNotifierWatcher with a host runs on it
  sni::StatusNotifierHost statusNotifierHost = sni::StatusNotifierHost::unknown;  // who draws its items
  bool shellExtension = false;  // Pellmor Status's GNOME Shell extension is enabled on the session bus
  friend bool operator==(const HostSituation&, const HostSituation&) = default;
};

// The rule: Pellmor Status's GNOME Shell extension wherever it is enabled (it shows the whole item at the
// top bar's height, better than a tray or an indicator host in the same shell). Otherwise XEmbed where
// the tray gives the item its width; a StatusNotifierItem host on Wayland, where no tray runs, or where
// the tray squashes the item (a square cell, a proxy's fixed icon, a scaled thumbnail); XEmbed's compact
// form where only a squashing tray exists.
Host chooseHost(HostMode mode, const HostSituation& situation);

// Whether the Qt process can show the item at all: an X display to find a tray on, or a session bus to
// find a StatusNotifierWatcher on (each only when the mode allows it).
bool desktopReachable(HostMode mode, bool xDisplay, bool sessionBus);

// The one line for standard error when no host can show the item, naming what is missing.
std::string missingHostLine(HostMode mode, const HostSituation& situation);

}  // namespace pellmor::desktop
