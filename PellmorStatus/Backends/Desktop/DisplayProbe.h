#pragma once

#include "Backends/BackendLayer.h"

#include <chrono>

namespace pellmor::desktop {

// How long an X server may take to accept a connection before it counts as absent.
inline constexpr std::chrono::seconds displayAnswerTimeout{5};

// Whether an X server answers on DISPLAY within displayAnswerTimeout. Needs only libxcb, so a process can
// ask before it loads Qt. A server that accepts the connection and then stalls never holds the caller
// longer than that.
bool displayAvailable();

// The Qt platform the desktop process runs on: xcb on an X display (the tray protocol is X11's, so never
// Wayland there), offscreen without one (the StatusNotifierItem front end needs Qt only to draw its
// pixmaps). The launcher sets it from its own probe before it hands over.
void setQtPlatform(bool xDisplay);
// In the desktop process: whether the launcher found an X display (read back from the Qt platform it
// set), so that a display gone since then is a display lost; probes when started some other way.
bool xDisplayHandedOver();

// Whether the session bus has an address: DBUS_SESSION_BUS_ADDRESS, or the user bus socket at
// $XDG_RUNTIME_DIR/bus that systemd and dbus-user-session provide.
bool sessionBusAvailable();

// Whether WAYLAND_DISPLAY names a Wayland session.
bool waylandSession();

}  // namespace pellmor::desktop
