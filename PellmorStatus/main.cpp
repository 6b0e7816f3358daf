#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "AppDelegate.h"
#include "Backends/Headless/HeadlessApplication.h"
#include "Platform/Application.h"
#include "Platform/TerminationSignals.h"
#if defined(PELLMOR_DESKTOP_PROCESS)
#include "Backends/X11/DesktopApplication.h"
#elif defined(PELLMOR_DESKTOP_EXECUTABLE)
#include "Backends/Desktop/HostChoice.h"
#include "Backends/X11/DisplayProbe.h"
#endif

namespace {

// The process-global references: the platform's application object and its delegate, which the
// application object does not keep alive.
std::unique_ptr<pellmor::platform::Application> application;
std::unique_ptr<pellmor::AppDelegate> appDelegate;

#if defined(PELLMOR_DESKTOP_EXECUTABLE)
// The desktop build of this program, beside this one, carries Qt; only a process with somewhere to show
// the item (an X display, or a session bus for a StatusNotifierItem host) loads it. Returns only when the
// exec fails.
void continueAsDesktopProcess(char** argv) {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return;
  const std::filesystem::path desktop = self.parent_path() / PELLMOR_DESKTOP_EXECUTABLE;
  execv(desktop.c_str(), argv);
  std::perror("execv");
}
#endif

std::unique_ptr<pellmor::platform::Application> makeApplication(int& argc, char** argv) {
#if defined(PELLMOR_DESKTOP_PROCESS)
  if (auto desktop = pellmor::makeDesktopApplication(argc, argv)) return desktop;
#elif defined(PELLMOR_DESKTOP_EXECUTABLE)
  const pellmor::desktop::HostMode mode = pellmor::desktop::hostModeFrom(std::getenv("PELLMOR_STATUS_HOST"));
  const bool xDisplay = pellmor::displayAvailable();
  const bool sessionBus = pellmor::sessionBusAvailable();
  if (pellmor::desktop::desktopReachable(mode, xDisplay, sessionBus)) {
    continueAsDesktopProcess(argv);  // returns only when the exec failed, which it has reported
  } else {
    pellmor::desktop::HostSituation nowhere;
    nowhere.xDisplay = xDisplay;
    nowhere.sessionBus = sessionBus;
    std::fprintf(stderr, "%s\n", pellmor::desktop::missingHostLine(mode, nowhere).c_str());
  }
#endif
  (void)argc;
  (void)argv;
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
