#pragma once

#include "Backends/BackendLayer.h"

#include <memory>

#include "Platform/Application.h"

namespace pellmor {

// The application object on an X11 desktop (Qt 6 event loop, status item docked into the system tray),
// or null when no X display can be opened.
std::unique_ptr<platform::Application> makeDesktopApplication(int& argc, char** argv);

}  // namespace pellmor
