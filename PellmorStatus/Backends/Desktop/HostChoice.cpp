#include "Backends/Desktop/HostChoice.h"

#include <vector>

namespace pellmor::desktop {

HostMode hostModeFrom(const char* value) {
  const std::string_view mode = value != nullptr ? value : "";
  if (mode == "xembed") return HostMode::xembed;
  if (mode == "sni") return HostMode::statusNotifier;
  if (mode == "gnome-shell") return HostMode::gnomeShell;
  return HostMode::automatic;
}

Host chooseHost(HostMode mode, const HostSituation& situation) {
  const bool tray = situation.xDisplay && situation.xembedTray;
  const bool watcher = situation.sessionBus && situation.watcher;
  const bool shellExtension = situation.sessionBus && situation.shellExtension;
  switch (mode) {
    case HostMode::xembed:
      return tray ? Host::xembed : Host::none;
    case HostMode::statusNotifier:
      return watcher ? Host::statusNotifier : Host::none;
    case HostMode::gnomeShell:
      return shellExtension ? Host::gnomeShell : Host::none;
    case HostMode::automatic:
      break;
  }
  if (shellExtension) return Host::gnomeShell;
  const bool traySquashes = situation.trayGivesWidth.has_value() && !*situation.trayGivesWidth;
  if (watcher && (situation.waylandSession || !tray || traySquashes)) return Host::statusNotifier;
  if (tray) return Host::xembed;
  return Host::none;
}

bool desktopReachable(HostMode mode, bool xDisplay, bool sessionBus) {
  const bool trayAllowed = mode == HostMode::automatic || mode == HostMode::xembed;
  return (xDisplay && trayAllowed) || (sessionBus && mode != HostMode::xembed);
}

std::string missingHostLine(HostMode mode, const HostSituation& situation) {
  std::vector<std::string> missing;
  if (mode == HostMode::gnomeShell) {
    missing.push_back(situation.sessionBus ? "no Pellmor Status extension enabled in GNOME Shell"
                                           : "no session bus");
  }
  if (mode == HostMode::automatic || mode == HostMode::xembed) {
    missing.push_back(situation.xDisplay ? "no XEmbed system tray on the X display" : "no X display");
  }
  if (mode == HostMode::automatic || mode == HostMode::statusNotifier) {
    missing.push_back(situation.sessionBus ? "no StatusNotifierWatcher with a host on the session bus"
                                           : "no session bus");
  }
  std::string line = "No tray to show the status item in: ";
  for (std::size_t i = 0; i < missing.size(); ++i) {
    if (i > 0) line += ", ";
    line += missing[i];
  }
  return line;
}

}  // namespace pellmor::desktop
