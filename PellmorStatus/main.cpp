#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AppDelegate.h"
#include "Backends/Headless/HeadlessApplication.h"
#include "CommandLine.h"
#include "Platform/Application.h"
#include "Support/BrokenPipe.h"
#include "Support/Container.h"
#include "Support/InstanceLock.h"
#include "Support/TerminationSignals.h"
#if defined(PELLMOR_DESKTOP_PROCESS)
#include "Backends/Desktop/DesktopApplication.h"
#elif defined(PELLMOR_DESKTOP_EXECUTABLE)
#include "Backends/Desktop/DisplayProbe.h"
#include "Backends/Desktop/HostChoice.h"
#endif

namespace {

// Runs before any library's initialiser, the earliest code of the process: from here on a termination
// signal waits for the event loop, which ends the companion with "GOODBYE!", and every thread inherits the
// mask. A broken pipe (a log reader gone, a peer closing its FIFO) fails that one write instead of
// killing the companion.
void blockSignalsAtLoad(int, char**, char**) {
  pellmor::blockTerminationSignals();
  pellmor::blockBrokenPipeSignal();
}
[[gnu::section(".preinit_array"), gnu::used]] void (*const blockSignalsFirst)(int, char**,
                                                                              char**) = blockSignalsAtLoad;

// The process-global references: the platform's application object and its delegate, which the
// application object does not keep alive. Never destroyed: the channel's threads post to the application's
// main thread until the very end, also when something calls exit() and its handlers run.
pellmor::platform::Application* application = nullptr;
pellmor::AppDelegate* appDelegate = nullptr;

#if defined(PELLMOR_DESKTOP_EXECUTABLE)
// The desktop build of this program carries Qt; only a process with somewhere to show the item (an X
// display, or a session bus for a StatusNotifierItem host) loads it. Its path relative to this executable
// is the same in the build tree and once installed (a libexec directory). Returns only when the exec fails.
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
  if (auto desktop = pellmor::desktop::makeDesktopApplication(argc, argv)) return desktop;
#elif defined(PELLMOR_DESKTOP_EXECUTABLE)
  const pellmor::desktop::HostMode mode = pellmor::desktop::hostModeFrom(std::getenv("PELLMOR_STATUS_HOST"));
  const bool xDisplay = pellmor::desktop::displayAvailable();
  const bool sessionBus = pellmor::desktop::sessionBusAvailable();
  if (pellmor::desktop::desktopReachable(mode, xDisplay, sessionBus)) {
    pellmor::desktop::setQtPlatform(xDisplay && mode != pellmor::desktop::HostMode::statusNotifier);
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

// Prints what the arguments ask for; returns the exit status when the process ends here.
std::optional<int> answerArguments(int argc, char** argv) {
  const pellmor::CommandLineAnswer answer =
      pellmor::answerCommandLine(std::vector<std::string_view>(argv + std::min(argc, 1), argv + argc));
  std::fputs(answer.standardOutput.c_str(), stdout);
  std::fputs(answer.standardError.c_str(), stderr);
  return answer.exitStatus;
}

// How long a companion waits for the one it replaces (a restart) to end.
constexpr std::chrono::seconds instancePatience{3};

// Returns the exit status when another companion serves the container, or a termination signal came
// while waiting for it to end.
std::optional<int> endUnlessOnlyCompanion(const pellmor::InstanceLock& lock, const std::string& container) {
  switch (lock.state()) {
    case pellmor::InstanceLock::State::heldElsewhere:
      std::fprintf(stderr, "Pellmor Status is already running for %s\n", container.c_str());
      return 0;
    case pellmor::InstanceLock::State::terminated:
      return 0;
    case pellmor::InstanceLock::State::held:
    case pellmor::InstanceLock::State::unavailable:
      break;
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status = answerArguments(argc, argv)) return *status;
  // The arguments are used by nobody: neither the desktop process nor Qt sees them.
  char fallbackName[] = "PellmorStatus";
  char* programNameOnly[] = {argc > 0 ? argv[0] : fallbackName, nullptr};
  int programNameCount = 1;
  pellmor::adoptRuntimeDirectory();  // Qt and the channel then agree on it
  // Before the display and the bus: a second companion ends without showing anything. The launcher's lock
  // ends with its exec, and the desktop process takes it again.
  const std::optional<std::string> container = pellmor::appGroupContainerPath(PELLMOR_APP_GROUP_IDENTIFIER);
  const pellmor::InstanceLock lock = pellmor::InstanceLock::acquire(container, instancePatience);
  if (const std::optional<int> status = endUnlessOnlyCompanion(lock, container.value_or(""))) return *status;
  application = makeApplication(programNameCount, programNameOnly).release();
  appDelegate = new pellmor::AppDelegate;
  application->setDelegate(appDelegate);
  const int status = application->run();
  // Termination ends the process here: the channel's threads are not stopped and the FIFOs stay.
  std::fflush(stdout);
  std::_Exit(status);
}
