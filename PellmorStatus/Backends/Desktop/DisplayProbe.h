#pragma once

#include "Backends/BackendLayer.h"

namespace pellmor::desktop {

// Whether an X server answers on DISPLAY. Needs only libxcb, so a process can ask before it loads Qt.
bool displayAvailable();

// Whether the session bus has an address: DBUS_SESSION_BUS_ADDRESS, or the user bus socket at
// $XDG_RUNTIME_DIR/bus that systemd and dbus-user-session provide.
bool sessionBusAvailable();

// Whether WAYLAND_DISPLAY names a Wayland session.
bool waylandSession();

}  // namespace pellmor::desktop
