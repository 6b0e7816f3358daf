#pragma once

#include <functional>
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
    // The channel, for the button's own click action.
    std::function<FIFOManager&()> channel;
    StatusItem::Environment content;
  };

  // Width of the host view before the content reports its size, and the height of the item throughout.
  static constexpr platform::Size initialHostSize{80, 22};

  // The process-wide controller, wired by the shell to the shared application's platform services;
  // created on first use (thread-safe) and never destroyed.
  static StatusItemManager& shared();

  explicit StatusItemManager(Environment environment);
  ~StatusItemManager();
  StatusItemManager(const StatusItemManager&) = delete;
  StatusItemManager& operator=(const StatusItemManager&) = delete;

  // Creates the item and hosts the content in its button. Returns normally also when the item has no
  // button: then it prints "Failed to create NSStatusItem button" and shows nothing.
  void setupStatusItem();
  // The click action of the item's button: sends "toggleApp", prints nothing.
  void toggleApp();
  // Nothing when there is no item, no button, no window or no screen.
  std::optional<PositionRecord> menubarPositionInfo() const;

 private:
  void followSize(platform::Size size);
  void releaseStatusItem();
  FIFOManager& channel();

  Environment environment_;
  std::shared_ptr<SizeSubject> sizePassthrough_ = std::make_shared<SizeSubject>();
  // The host view is a child of the item's button: declared after the item, so it goes first.
  std::unique_ptr<platform::StatusBarItem> statusItem_;
  std::unique_ptr<platform::HostingView> hostingView_;
  Subscription sizeCancellable_;
};

}  // namespace pellmor
