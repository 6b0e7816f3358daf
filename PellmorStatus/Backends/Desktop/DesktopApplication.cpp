#include "Backends/Desktop/DesktopApplication.h"

#include <cstdlib>

#include "Backends/Desktop/DesktopStatusBar.h"
#include "Backends/Desktop/DisplayProbe.h"
#include "Backends/Qt/QtApplication.h"
#include "Backends/XEmbed/DisplayLoss.h"
#include "Support/BrokenPipe.h"

namespace pellmor::desktop {

std::unique_ptr<platform::Application> makeDesktopApplication(int& argc, char** argv) {
  const HostMode mode = hostModeFrom(std::getenv("PELLMOR_STATUS_HOST"));
  // Probed before Qt, which would end the process without a display.
  const bool xDisplay = displayAvailable() && mode != HostMode::statusNotifier;
  if (!desktopReachable(mode, xDisplay, sessionBusAvailable())) return nullptr;
  // The tray protocol is X11's: on an X display Qt must use xcb, never Wayland. Without one only the
  // StatusNotifierItem front end can show the item, and it needs Qt only to draw its pixmaps.
  setenv("QT_QPA_PLATFORM", xDisplay ? "xcb" : "offscreen", 1);
  // Before Qt starts its threads, which inherit the mask: a write to an X server that has just gone away
  // then fails like any other, and the broken connection is reported instead of killing the process.
  blockBrokenPipeSignal();
  const DesktopStatusBar::Options options{mode, xDisplay, waylandSession()};
  auto application = std::make_unique<qt::QtApplication>(
      argc, argv, [options] { return std::make_unique<DesktopStatusBar>(options); });
  xembed::endProcessWhenDisplayIsLost([raw = application.get()] { return raw->terminating(); });
  return application;
}

}  // namespace pellmor::desktop
