#pragma once

#include <memory>
#include <optional>

#include "FIFOManager.h"
#include "Platform/Screens.h"
#include "Platform/StatusBar.h"
#include "StatusItem.h"
#include "Support/Signal.h"

namespace pellmor {

// Owns the status item: creates it, hosts the content in its button, keeps the item as wide as the
// content, and measures where it sits on screen.
class StatusItemManager {
 public:
  struct Environment {
    platform::StatusBar* statusBar = nullptr;
    const platform::Screens* screens = nullptr;
    // The channel, for the button's own click action. Defaults to FIFOManager::shared().
    std::function<FIFOManager&()> channel;
    StatusItem::Environment content;
  };

  // The process-wide controller, wired to the shared application's platform services.
  static StatusItemManager& shared();

  explicit StatusItemManager(Environment environment);
  ~StatusItemManager();
  StatusItemManager(const StatusItemManager&) = delete;
  StatusItemManager& operator=(const StatusItemManager&) = delete;

  void setupStatusItem();
  // The click action of the item's button: sends "toggleApp", prints nothing.
  void toggleApp();
  // Nothing when there is no item, no button, no window or no screen.
  std::optional<PositionRecord> menubarPositionInfo() const;

  platform::HostingView* hostingView() const { return hostingView_.get(); }
  platform::StatusBarItem* statusItem() const { return statusItem_.get(); }
  const std::shared_ptr<SizeSubject>& sizePassthrough() const { return sizePassthrough_; }

 private:
  void followSize(platform::Size size);

  Environment environment_;
  std::unique_ptr<platform::HostingView> hostingView_;
  std::unique_ptr<platform::StatusBarItem> statusItem_;
  std::shared_ptr<SizeSubject> sizePassthrough_ = std::make_shared<SizeSubject>();
  Subscription sizeCancellable_;
};

}  // namespace pellmor
