#pragma once

#include "Backends/BackendLayer.h"

#include <memory>
#include <vector>

#include "Platform/Screens.h"
#include "Platform/StatusBar.h"

namespace pellmor {

// A status bar with no display: its items have no button, as when the platform cannot make one.
class HeadlessStatusBar : public platform::StatusBar {
 public:
  std::unique_ptr<platform::StatusBarItem> statusItemWithLength(double length) override;
  std::unique_ptr<platform::HostingView> makeHostingView(
      std::shared_ptr<platform::HostedContent> root) override;
};

// A view that installs its content and keeps its geometry; with no display there is nothing to draw.
class HeadlessHostingView : public platform::HostingView {
 public:
  explicit HeadlessHostingView(std::shared_ptr<platform::HostedContent> root);

  platform::Rect frame() const override { return frame_; }
  void setFrame(platform::Rect frame) override { frame_ = frame; }
  platform::Rect bounds() const override { return platform::Rect{{}, frame_.size}; }
  const platform::Window* window() const override { return nullptr; }
  platform::Rect convertRectToWindow(platform::Rect rect) const override;
  void addSubview(platform::View&) override {}

 private:
  std::shared_ptr<platform::HostedContent> root_;
  platform::Rect frame_;
};

// No display, no screen: the item has no position to report.
class HeadlessScreens : public platform::Screens {
 public:
  std::vector<platform::Rect> screens() const override { return {}; }
};

}  // namespace pellmor
