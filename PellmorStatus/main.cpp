#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "AppDelegate.h"
#include "Backends/Headless/HeadlessApplication.h"
#include "Platform/Application.h"
#include "Support/TerminationSignals.h"
#if defined(PELLMOR_DESKTOP_PROCESS)
#include "Backends/X11/DesktopApplication.h"
#elif defined(PELLMOR_DESKTOP_EXECUTABLE)
#include "Backends/X11/DisplayProbe.h"
#endif

namespace {

// The process-global references: the platform's application object and its delegate, which the
// application object does not keep alive. Never destroyed: the channel's threads post to the application's
// main thread until the very end, also when something calls exit() and its handlers run.
pellmor::platform::Application* application = nullptr;
pellmor::AppDelegate* appDelegate = nullptr;

#if defined(PELLMOR_DESKTOP_EXECUTABLE)
// The desktop build of this program, beside this one, carries Qt; only a process with a display to show
// the item on loads it. Returns only when the exec fails.
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
  if (pellmor::displayAvailable()) continueAsDesktopProcess(argv);
#endif
  (void)argc;
  (void)argv;
  return std::make_unique<pellmor::HeadlessApplication>();
}

}  // namespace

int main(int argc, char** argv) {
  pellmor::blockTerminationSignals();  // before any thread starts
  application = makeApplication(argc, argv).release();
  appDelegate = new pellmor::AppDelegate;
  application->setDelegate(appDelegate);
  const int status = application->run();
  // Termination ends the process here: the channel's threads are not stopped and the FIFOs stay.
  std::fflush(stdout);
  std::_Exit(status);
}
