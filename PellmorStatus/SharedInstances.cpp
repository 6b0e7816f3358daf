// The process-wide instances, wired by the shell to the shared application's platform services. Each is
// created on first use (thread-safe) and never destroyed: the channel's threads and the status item use
// them until the process ends.

#include "FIFOManager.h"
#include "Platform/Application.h"
#include "StatusItemManager.h"
#include "Support/Container.h"

namespace pellmor {
namespace {

FIFOManager& sharedChannel() {
  return FIFOManager::shared();
}

}  // namespace

FIFOManager& FIFOManager::shared() {
  static FIFOManager* const instance = new FIFOManager(Environment{
      .containerLookup = [] { return appGroupContainerPath(PELLMOR_APP_GROUP_IDENTIFIER); },
      .mainThread = &platform::Application::shared().mainThread(),
      .menubarPositionInfo = [] { return StatusItemManager::shared().menubarPositionInfo(); },
      .syscalls = nullptr,
  });
  return *instance;
}

StatusItemManager& StatusItemManager::shared() {
  static StatusItemManager* const instance = [] {
    platform::Application& application = platform::Application::shared();
    return new StatusItemManager(Environment{
        .statusBar = &application.systemStatusBar(),
        .screens = &application.screens(),
        .channel = sharedChannel,
        .content = {.channel = sharedChannel,
                    .mainThread = &application.mainThread(),
                    .clock = &application.clock(),
                    .tickers = &application.tickers(),
                    .textMetrics = &application.textMetrics()},
    });
  }();
  return *instance;
}

}  // namespace pellmor
