#pragma once

#include "Backends/BackendLayer.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Platform/Screens.h"
#include "Platform/StatusBar.h"

namespace pellmor {

// A status bar with no display. By default its items have no button, as when the platform cannot make
// one. With a virtual menu bar its items get a button shown in a window of the given geometry, so the
// whole companion can run in one process with no display, for tests.
class HeadlessStatusBar : public platform::StatusBar {
 public:
  struct VirtualMenuBar {
    platform::Rect windowFrame;    // global coordinates (bottom-left origin, y upwards)
    platform::Point buttonOrigin;  // the button's place in its window
  };

  HeadlessStatusBar() = default;
  explicit HeadlessStatusBar(VirtualMenuBar menuBar) : menuBar_(menuBar) {}

  std::unique_ptr<platform::StatusBarItem> statusItemWithLength(double length) override;
  std::unique_ptr<platform::HostingView> makeHostingView(
      std::shared_ptr<platform::HostedContent> root) override;

 private:
  std::optional<VirtualMenuBar> menuBar_;
};

class HeadlessWindow : public platform::Window {
 public:
  explicit HeadlessWindow(platform::Rect frame) : frame_(frame) {}

  platform::Rect frame() const override { return frame_; }
  platform::Rect convertRectToScreen(platform::Rect rect) const override;

 private:
  platform::Rect frame_;
};

// Plain geometry shared by the headless views.
class HeadlessViewGeometry {
 public:
  platform::Rect frame() const { return frame_; }
  void setFrame(platform::Rect frame) { frame_ = frame; }
  platform::Rect bounds() const { return platform::Rect{{}, frame_.size}; }

 private:
  platform::Rect frame_;
};

class HeadlessButton;

// A view rendering a content tree, installed when the view is made. Clicks land on the content first and
// on the button that holds the view when the content has no segment there.
class HeadlessHostingView : public platform::HostingView {
 public:
  explicit HeadlessHostingView(std::shared_ptr<platform::HostedContent> root);
  ~HeadlessHostingView() override;
  HeadlessHostingView(const HeadlessHostingView&) = delete;
  HeadlessHostingView& operator=(const HeadlessHostingView&) = delete;

  platform::Rect frame() const override { return geometry_.frame(); }
  void setFrame(platform::Rect frame) override { geometry_.setFrame(frame); }
  platform::Rect bounds() const override { return geometry_.bounds(); }
  const platform::Window* window() const override;
  platform::Rect convertRectToWindow(platform::Rect rect) const override;
  void addSubview(platform::View&) override {}

  platform::HostedContent& content() const { return *root_; }
  // Where the content's row sits in this view: centred in the frame.
  platform::Point contentOrigin() const;
  // A click at a point in this view's coordinates (top-left origin).
  void click(platform::Point point);

  // Kept up to date by the button that shows this view.
  void setParent(HeadlessButton* parent) { parent_ = parent; }

 private:
  std::shared_ptr<platform::HostedContent> root_;
  HeadlessViewGeometry geometry_;
  HeadlessButton* parent_ = nullptr;
};

class HeadlessButton : public platform::Button {
 public:
  HeadlessButton(std::unique_ptr<HeadlessWindow> window, platform::Point origin);
  ~HeadlessButton() override;
  HeadlessButton(const HeadlessButton&) = delete;
  HeadlessButton& operator=(const HeadlessButton&) = delete;

  platform::Rect frame() const override { return geometry_.frame(); }
  void setFrame(platform::Rect frame) override { geometry_.setFrame(frame); }
  platform::Rect bounds() const override { return geometry_.bounds(); }
  const platform::Window* window() const override { return window_.get(); }
  platform::Rect convertRectToWindow(platform::Rect rect) const override;
  void addSubview(platform::View& child) override;
  void setAction(std::function<void()> action) override { action_ = std::move(action); }

  // Runs the action as a click on the button itself would.
  void performClick();
  void removeSubview(const platform::View& child);
  const std::vector<platform::View*>& subviews() const { return subviews_; }

 private:
  std::unique_ptr<HeadlessWindow> window_;
  platform::Point origin_;  // in the window
  HeadlessViewGeometry geometry_;
  std::function<void()> action_;
  std::vector<platform::View*> subviews_;
};

class HeadlessStatusBarItem : public platform::StatusBarItem {
 public:
  explicit HeadlessStatusBarItem(std::unique_ptr<HeadlessButton> button) : button_(std::move(button)) {}
  platform::Button* button() override { return button_.get(); }

 private:
  std::unique_ptr<HeadlessButton> button_;
};

class HeadlessScreens : public platform::Screens {
 public:
  HeadlessScreens() = default;
  explicit HeadlessScreens(std::vector<platform::Rect> screens) : screens_(std::move(screens)) {}
  std::vector<platform::Rect> screens() const override { return screens_; }

 private:
  std::vector<platform::Rect> screens_;
};

}  // namespace pellmor
