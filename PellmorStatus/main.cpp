#include <cstdio>
#include <cstdlib>
#include <memory>

#include "AppDelegate.h"
#include "Backends/Headless/HeadlessApplication.h"
#include "Platform/Application.h"
#include "Platform/TerminationSignals.h"
#include "Support/Output.h"
#ifdef PELLMOR_HAS_DESKTOP
#include "Backends/X11/DesktopApplication.h"
#endif

namespace {

// The process-global references: the platform's application object and its delegate, which the
// application object does not keep alive.
std::unique_ptr<pellmor::platform::Application> application;
std::unique_ptr<pellmor::AppDelegate> appDelegate;

std::unique_ptr<pellmor::platform::Application> makeApplication(int& argc, char** argv) {
#ifdef PELLMOR_HAS_DESKTOP
  if (auto desktop = pellmor::makeDesktopApplication(argc, argv)) return desktop;
#else
  (void)argc;
  (void)argv;
#endif
  return std::make_unique<pellmor::HeadlessApplication>();
}

}  // namespace

int main(int argc, char** argv) {
  pellmor::platform::blockTerminationSignals();  // before any thread starts
  application = makeApplication(argc, argv);
  appDelegate = std::make_unique<pellmor::AppDelegate>();
  application->setDelegate(appDelegate.get());
  const int status = application->run();
  // Termination ends the process here: the channel's threads are not stopped and the FIFOs stay.
  std::fflush(stdout);
  std::_Exit(status);
}
