#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Platform/Screens.h"
#include "Platform/StatusBar.h"

namespace pellmor::testing {

inline std::string describe(const platform::Rect& rect) {
  std::ostringstream text;
  text << '(' << rect.origin.x << ',' << rect.origin.y << ',' << rect.size.width << ',' << rect.size.height
       << ')';
  return text.str();
}

inline platform::Rect offsetBy(platform::Rect rect, platform::Point offset) {
  rect.origin.x += offset.x;
  rect.origin.y += offset.y;
  return rect;
}

// Every platform call, in order, as text: "button.setFrame(0,0,63,22)".
using CallLog = std::vector<std::string>;

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

class FakeHostingView : public platform::HostingView {
 public:
  FakeHostingView(std::shared_ptr<platform::HostedContent> root, CallLog& log, int& liveHosts)
      : root_(std::move(root)), log_(log), liveHosts_(liveHosts) {
    ++liveHosts_;
    root_->install([this] { ++displayChanges_; });
  }
  ~FakeHostingView() override { --liveHosts_; }

  platform::Rect frame() const override { return frame_; }
  void setFrame(platform::Rect frame) override {
    log_.push_back("host.setFrame" + describe(frame));
    frame_ = frame;
  }
  platform::Rect bounds() const override { return platform::Rect{{}, frame_.size}; }
  platform::Window* window() const override { return nullptr; }
  platform::Rect convertRectToWindow(platform::Rect rect) const override { return rect; }
  void addSubview(platform::View&) override { log_.push_back("host.addSubview"); }

  platform::HostedContent& content() const { return *root_; }
  int displayChanges() const { return displayChanges_; }

 private:
  std::shared_ptr<platform::HostedContent> root_;
  CallLog& log_;
  int& liveHosts_;
  platform::Rect frame_;
  int displayChanges_ = 0;
};

class FakeButton : public platform::Button {
 public:
  FakeButton(CallLog& log, std::unique_ptr<FakeWindow> window, platform::Point originInWindow)
      : log_(log), window_(std::move(window)), originInWindow_(originInWindow) {}

  platform::Rect frame() const override { return frame_; }
  void setFrame(platform::Rect frame) override {
    log_.push_back("button.setFrame" + describe(frame));
    frame_ = frame;
  }
  platform::Rect bounds() const override { return platform::Rect{{}, frame_.size}; }
  platform::Window* window() const override { return window_.get(); }
  platform::Rect convertRectToWindow(platform::Rect rect) const override {
    return offsetBy(rect, originInWindow_);
  }
  void addSubview(platform::View& child) override {
    log_.push_back("button.addSubview");
    subviews_.push_back(&child);
  }
  void setAction(std::function<void()> action) override {
    log_.push_back("button.setAction");
    action_ = std::move(action);
  }

  void click() { action_(); }
  const std::vector<platform::View*>& subviews() const { return subviews_; }

 private:
  CallLog& log_;
  std::unique_ptr<FakeWindow> window_;
  platform::Point originInWindow_;
  platform::Rect frame_;
  std::function<void()> action_;
  std::vector<platform::View*> subviews_;
};

class FakeStatusBarItem : public platform::StatusBarItem {
 public:
  explicit FakeStatusBarItem(std::unique_ptr<FakeButton> button) : button_(std::move(button)) {}
  platform::Button* button() override { return button_.get(); }

 private:
  std::unique_ptr<FakeButton> button_;
};

// A status bar whose items have a button in a menu-bar window, unless configured otherwise.
class FakeStatusBar : public platform::StatusBar {
 public:
  struct Configuration {
    bool withButton = true;
    // Global coordinates of the menu-bar window; no window when absent.
    std::optional<platform::Rect> windowFrame = platform::makeRect(0, 1056, 1920, 24);
    platform::Point buttonOriginInWindow{};
  };

  FakeStatusBar() = default;
  explicit FakeStatusBar(Configuration configuration) : configuration_(configuration) {}

  std::unique_ptr<platform::StatusBarItem> statusItemWithLength(double length) override {
    std::ostringstream call;
    call << "statusItemWithLength(" << length << ')';
    log.push_back(call.str());
    if (!configuration_.withButton) return std::make_unique<FakeStatusBarItem>(nullptr);
    auto window =
        configuration_.windowFrame ? std::make_unique<FakeWindow>(*configuration_.windowFrame) : nullptr;
    auto button = std::make_unique<FakeButton>(log, std::move(window), configuration_.buttonOriginInWindow);
    lastButton = button.get();
    return std::make_unique<FakeStatusBarItem>(std::move(button));
  }

  std::unique_ptr<platform::HostingView> makeHostingView(
      std::shared_ptr<platform::HostedContent> root) override {
    log.push_back("makeHostingView");
    auto host = std::make_unique<FakeHostingView>(std::move(root), log, liveHosts);
    lastHost = host.get();
    return host;
  }

  CallLog log;
  int liveHosts = 0;
  FakeButton* lastButton = nullptr;     // owned by the item
  FakeHostingView* lastHost = nullptr;  // owned by whoever took it; check liveHosts first

 private:
  Configuration configuration_;
};

class FakeScreens : public platform::Screens {
 public:
  explicit FakeScreens(std::vector<platform::Rect> screens = {}) : screens_(std::move(screens)) {}
  std::vector<platform::Rect> screens() const override { return screens_; }
  void set(std::vector<platform::Rect> screens) { screens_ = std::move(screens); }

 private:
  std::vector<platform::Rect> screens_;
};

}  // namespace pellmor::testing
