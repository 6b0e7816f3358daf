#pragma once

#include "Backends/BackendLayer.h"

#include <memory>

#include "Platform/Application.h"

namespace pellmor::desktop {

// The application object on a Linux desktop: Qt's event loop, with the item shown in the X11 system tray
// or to a StatusNotifierItem host; null when neither an X display nor a session bus can show it.
std::unique_ptr<platform::Application> makeDesktopApplication(int& argc, char** argv);

}  // namespace pellmor::desktop
