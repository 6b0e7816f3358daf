#include "AppDelegate.h"

#include "StatusItemManager.h"
#include "Support/Output.h"

namespace pellmor {

void AppDelegate::applicationDidFinishLaunching() {
  StatusItemManager& manager = StatusItemManager::shared();
  manager.setupStatusItem();
  // After the item exists: no taskbar entry, no window; the item is the only presence on screen.
  platform::Application::shared().setActivationPolicy(platform::ActivationPolicy::accessory);
}

void AppDelegate::applicationWillTerminate() {
  activityTimer_.reset();
  printLine("GOODBYE!");
}

}  // namespace pellmor
