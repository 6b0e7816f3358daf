#pragma once

// A status bar for tests whose items get a button shown in a window of a given place in a menu bar, so the
// controller's set-up, size following and position can be checked with no display.

#include <functional>
#include <memory>

#include "Backends/Headless/HeadlessStatusBar.h"
#include "Platform/StatusBar.h"

namespace pellmor::testing {

inline platform::Rect offsetBy(platform::Rect rect, platform::Point offset) {
  rect.origin.x += offset.x;
  rect.origin.y += offset.y;
  return rect;
}

// An item that is its own button, at `origin` in its window.
class FakeButton : public platform::Button, public platform::StatusBarItem {
 public:
  FakeButton(const platform::Window& window, platform::Point origin) : window_(window), origin_(origin) {}

  platform::Button* button() override { return this; }
  platform::Rect frame() const override { return frame_; }
  void setFrame(platform::Rect frame) override { frame_ = frame; }
  platform::Rect bounds() const override { return platform::Rect{{}, frame_.size}; }
  const platform::Window* window() const override { return &window_; }
  platform::Rect convertRectToWindow(platform::Rect rect) const override { return offsetBy(rect, origin_); }
  void addSubview(platform::View&) override {}
  void setAction(std::function<void()>) override {}

 private:
  const platform::Window& window_;
  platform::Point origin_;
  platform::Rect frame_;
};

// A menu-bar window at `windowFrame` (global coordinates, bottom-left origin) whose items have a button at
// `buttonOrigin`; the host views are the headless backend's.
class MenuBar : public HeadlessStatusBar, public platform::Window {
 public:
  MenuBar(platform::Rect windowFrame, platform::Point buttonOrigin)
      : windowFrame_(windowFrame), buttonOrigin_(buttonOrigin) {}

  std::unique_ptr<platform::StatusBarItem> statusItemWithLength(double) override {
    return std::make_unique<FakeButton>(*this, buttonOrigin_);
  }
  platform::Rect frame() const override { return windowFrame_; }
  platform::Rect convertRectToScreen(platform::Rect rect) const override {
    return offsetBy(rect, windowFrame_.origin);
  }

 private:
  platform::Rect windowFrame_;
  platform::Point buttonOrigin_;
};

}  // namespace pellmor::testing
