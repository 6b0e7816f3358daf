#include "Backends/Desktop/DesktopApplication.h"

#include <cstdlib>

#include "Backends/Desktop/DesktopStatusBar.h"
#include "Backends/Desktop/DisplayProbe.h"
#include "Backends/Qt/BusConnector.h"
#include "Backends/Qt/QtApplication.h"
#include "Backends/XEmbed/DisplayLoss.h"

namespace pellmor::desktop {

std::unique_ptr<platform::Application> makeDesktopApplication(int& argc, char** argv) {
  const HostMode mode = hostModeFrom(std::getenv("PELLMOR_STATUS_HOST"));
  // Known before Qt starts, which would end the process without a display.
  const bool xDisplay = xDisplayHandedOver() && mode != HostMode::statusNotifier;
  if (!desktopReachable(mode, xDisplay, sessionBusAvailable())) return nullptr;
  setQtPlatform(xDisplay);
  qt::BusConnector::prepareEnvironment();
  // Filled in once the application exists; a display lost while Qt starts is reported before that.
  const auto made = std::make_shared<qt::QtApplication*>(nullptr);
  if (xDisplay)
    xembed::endProcessWhenDisplayIsLost([made] { return *made != nullptr && (*made)->terminating(); });
  const DesktopStatusBar::Options options{mode, xDisplay, waylandSession()};
  auto application = std::make_unique<qt::QtApplication>(
      argc, argv, [options] { return std::make_unique<DesktopStatusBar>(options); });
  *made = application.get();
  return application;
}

}  // namespace pellmor::desktop
