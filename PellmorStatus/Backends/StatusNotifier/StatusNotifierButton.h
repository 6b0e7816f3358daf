#pragma once

#include "Backends/BackendLayer.h"

#include <functional>
#include <memory>

#include "Backends/Qt/ClickLimiter.h"
#include "Backends/StatusNotifier/StatusNotifierItem.h"
#include "Platform/HostedContent.h"
#include "Platform/StatusBar.h"

namespace pellmor::sni {

class StatusNotifierWatcherTracker;

// The status item's button as a StatusNotifierItem: shows the hosted content to StatusNotifierItem hosts
// and runs its actions for their clicks. It has no window: hosts say nothing about where they draw it.
class StatusNotifierButton final : public platform::Button {
 public:
  explicit StatusNotifierButton(StatusNotifierWatcherTracker& watcher);
  ~StatusNotifierButton() override;

  platform::Rect frame() const override { return frame_; }
  void setFrame(platform::Rect frame) override { frame_ = frame; }
  platform::Rect bounds() const override { return platform::Rect{{}, frame_.size}; }
  const platform::Window* window() const override { return nullptr; }
  platform::Rect convertRectToWindow(platform::Rect rect) const override { return rect; }
  // Takes the content of an qt::QtHostingView and follows what it shows.
  void addSubview(platform::View& child) override;
  void setAction(std::function<void()> action) override { action_ = std::move(action); }

  // Published once it has content to show: a host never reads an empty item.
  void setPublished(bool published);

 private:
  void refresh();
  void activateContent(platform::HitTarget target);

  StatusNotifierWatcherTracker& watcher_;
  qt::ClickLimiter clicks_{"the StatusNotifierItem host"};  // before the item, whose actions it limits
  StatusNotifierItem item_;
  std::shared_ptr<platform::HostedContent> content_;
  std::function<void()> action_;
  platform::Rect frame_;
  bool publishWanted_ = false;
};

}  // namespace pellmor::sni
