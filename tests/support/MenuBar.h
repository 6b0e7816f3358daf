#pragma once

// A status bar for tests whose items get a button shown in a window of a given place in a menu bar, so the
// controller's set-up, size following, click and position can be checked with no display.

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "Backends/Headless/HeadlessStatusBar.h"
#include "Platform/StatusBar.h"

namespace pellmor::testing {

inline platform::Rect offsetBy(platform::Rect rect, platform::Point offset) {
  rect.origin.x += offset.x;
  rect.origin.y += offset.y;
  return rect;
}

class FakeWindow : public platform::Window {
 public:
  explicit FakeWindow(platform::Rect frame) : frame_(frame) {}
  platform::Rect frame() const override { return frame_; }
  platform::Rect convertRectToScreen(platform::Rect rect) const override {
    return offsetBy(rect, frame_.origin);
  }

 private:
  platform::Rect frame_;
};

class FakeButton : public platform::Button {
 public:
  FakeButton(platform::Rect windowFrame, platform::Point origin) : window_(windowFrame), origin_(origin) {}

  platform::Rect frame() const override { return frame_; }
  void setFrame(platform::Rect frame) override { frame_ = frame; }
  platform::Rect bounds() const override { return platform::Rect{{}, frame_.size}; }
  const platform::Window* window() const override { return &window_; }
  platform::Rect convertRectToWindow(platform::Rect rect) const override { return offsetBy(rect, origin_); }
  void addSubview(platform::View& child) override { subviews_.push_back(&child); }
  void setAction(std::function<void()> action) override { action_ = std::move(action); }

  // Runs the action as a click on the button itself would.
  void performClick() const {
    if (action_) action_();
  }
  const std::vector<platform::View*>& subviews() const { return subviews_; }

 private:
  FakeWindow window_;
  platform::Point origin_;  // in the window
  platform::Rect frame_;
  std::function<void()> action_;
  std::vector<platform::View*> subviews_;
};

// Items with a button at `buttonOrigin` in a menu-bar window at `windowFrame` (global coordinates,
// bottom-left origin); the host views are the headless backend's.
class MenuBar : public HeadlessStatusBar {
 public:
  MenuBar(platform::Rect windowFrame, platform::Point buttonOrigin)
      : windowFrame_(windowFrame), buttonOrigin_(buttonOrigin) {}

  std::unique_ptr<platform::StatusBarItem> statusItemWithLength(double) override {
    return std::make_unique<Item>(windowFrame_, buttonOrigin_);
  }

 private:
  class Item : public platform::StatusBarItem {
   public:
    Item(platform::Rect windowFrame, platform::Point origin) : button_(windowFrame, origin) {}
    platform::Button* button() override { return &button_; }

   private:
    FakeButton button_;
  };

  platform::Rect windowFrame_;
  platform::Point buttonOrigin_;
};

}  // namespace pellmor::testing
