#pragma once

#include "Backends/BackendLayer.h"

namespace pellmor::sni {

// The program that draws StatusNotifierItems on this desktop, as far as the process that owns the watcher
// tells. Hosts differ in what they make of an item's pixmaps and clicks, so the item is served, and the
// front end chosen, for the host in use.
enum class StatusNotifierHost {
  unknown,     // no watcher yet, or one this program does not know
  gnomeShell,  // GNOME Shell with the AppIndicator extension
  plasma,      // KDE Plasma (the watcher runs in kded5)
  xfcePanel,   // xfce4-panel's systray plugin
  waybar,
  swaybar,
  lxqtPanel,
  matePanel,
};

// The host that the process `pid` is, told by its name (and, for a panel's plugin wrapper, by what it
// wraps); unknown for any other program or a process that is gone.
StatusNotifierHost hostOfProcess(unsigned pid);

}  // namespace pellmor::sni
