#include "Backends/Desktop/HostChoice.h"

#include <algorithm>
#include <vector>

namespace pellmor::desktop {

HostMode hostModeFrom(const char* value) {
  const std::string_view mode = value != nullptr ? value : "";
  if (mode == "xembed") return HostMode::xembed;
  if (mode == "sni") return HostMode::statusNotifier;
  if (mode == "gnome-shell") return HostMode::gnomeShell;
  return HostMode::automatic;
}

TrayPreference trayPreferenceOf(sni::StatusNotifierHost host) {
  using sni::StatusNotifierHost;
  switch (host) {
    case StatusNotifierHost::xfcePanel:  // fits the wide pixmap into a square; its tray gives 22 x 22
      return TrayPreference::tray;
    case StatusNotifierHost::plasma:     // its tray is xembedsniproxy, which crops the item to a square
    case StatusNotifierHost::lxqtPanel:  // its tray is a proxy with a hidden window
    case StatusNotifierHost::waybar:     // Wayland bars: an X tray beside them would be another desktop's
    case StatusNotifierHost::swaybar:
      return TrayPreference::statusNotifier;
    case StatusNotifierHost::gnomeShell:  // its label beside a 16 px icon; its tray gives the width
    case StatusNotifierHost::matePanel:   // its label as text; its tray gives the width
    case StatusNotifierHost::unknown:
      break;
  }
  return TrayPreference::trayWhereItGivesWidth;
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
  if (!watcher) return tray ? Host::xembed : Host::none;
  if (!tray || situation.waylandSession) return Host::statusNotifier;
  switch (trayPreferenceOf(situation.statusNotifierHost)) {
    case TrayPreference::tray:
      return Host::xembed;
    case TrayPreference::statusNotifier:
      return Host::statusNotifier;
    case TrayPreference::trayWhereItGivesWidth:
      break;
  }
  return situation.trayGivesWidth.value_or(true) ? Host::xembed : Host::statusNotifier;
}

HostChooser::Step HostChooser::update(const HostSituation& situation, Clock::time_point now) {
  const Presence presence = presenceIn(situation);
  if (presence != presence_) {
    presence_ = presence;
    presenceSince_ = now;
    presenceSettleTime_ = lostCurrentHost(presence) ? lossSettleTime : settleTime;
    switched_ = false;
  }
  bool announce = false;
  std::optional<Clock::time_point> wakeAt =
      noteHostless(chooseHost(mode_, situation) == Host::none, now, announce);
  const Clock::time_point settled = presenceSince_ + presenceSettleTime_;
  if (now < settled) return {host_, announce, wakeAt ? std::min(*wakeAt, settled) : settled};
  const Host target = settledChoice(situation);
  // Without a host the item stays ready on the front end it had, so a host that comes back finds it at
  // once. Leaving one front end for the other again before the hosts change would be a flip.
  if (target != Host::none && target != host_ && !switched_) {
    switched_ = host_ != Host::none;
    host_ = target;
  }
  return {host_, announce, wakeAt};
}

HostChooser::Presence HostChooser::presenceIn(const HostSituation& situation) {
  return {situation.xDisplay && situation.xembedTray, situation.watcher, situation.sessionBus,
          situation.shellExtension, situation.statusNotifierHost};
}

bool HostChooser::lostCurrentHost(const Presence& presence) const {
  switch (host_) {
    case Host::xembed:
      return !presence.tray;
    case Host::statusNotifier:
      return !presence.watcher;
    case Host::gnomeShell:
      return !presence.shellExtension;
    case Host::none:
      break;
  }
  return false;
}

Host HostChooser::settledChoice(const HostSituation& situation) const {
  const Host target = chooseHost(mode_, situation);
  // Leaving a host that shows the item to measure a tray's cell is worth it only where the tray is known
  // to give the width: a square cell would need a second switch to come back.
  const bool probe = target == Host::xembed && !situation.trayGivesWidth.has_value();
  if (host_ == Host::statusNotifier && probe && mode_ == HostMode::automatic &&
      situation.statusNotifierHost == sni::StatusNotifierHost::unknown)
    return Host::statusNotifier;
  return target;
}

std::optional<HostChooser::Clock::time_point> HostChooser::noteHostless(bool hostless, Clock::time_point now,
                                                                        bool& announce) {
  if (!hostless) {
    hostlessSince_.reset();
    announced_ = false;
    return std::nullopt;
  }
  if (!hostlessSince_) hostlessSince_ = now;
  const Clock::time_point due = *hostlessSince_ + lineGrace;
  if (now < due) return due;
  // Once each time the item loses its last host; never repeated while none comes.
  announce = !announced_;
  announced_ = true;
  return std::nullopt;
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
