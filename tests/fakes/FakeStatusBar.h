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

// Every platform call, in order, as text: "button.setFrame(0,0,63,22)".
using CallLog = std::vector<std::string>;

class FakeWindow : public platform::Window {
 public:
  explicit FakeWindow(platform::Rect frame) : frame_(frame) {}
  platform::Rect frame() const override { return frame_; }
  platform::Rect convertRectToScreen(platform::Rect rect) const override {
    return platform::makeRect(rect.origin.x + frame_.origin.x, rect.origin.y + frame_.origin.y,
                              rect.size.width, rect.size.height);
  }

 private:
  platform::Rect frame_;
};

// A view that logs its calls under `name`, in a window at `originInWindow`, or in none.
template <typename Base>
class FakeView : public Base {
 public:
  FakeView(std::string name, CallLog& log, std::unique_ptr<FakeWindow> window = nullptr,
           platform::Point originInWindow = {})
      : name_(std::move(name)), log_(log), window_(std::move(window)), originInWindow_(originInWindow) {}

  platform::Rect frame() const override { return frame_; }
  void setFrame(platform::Rect frame) override {
    std::ostringstream call;
    call << name_ << ".setFrame(" << frame.origin.x << ',' << frame.origin.y << ',' << frame.size.width << ','
         << frame.size.height << ')';
    log_.push_back(call.str());
    frame_ = frame;
  }
  platform::Rect bounds() const override { return platform::Rect{{}, frame_.size}; }
  platform::Window* window() const override { return window_.get(); }
  platform::Rect convertRectToWindow(platform::Rect rect) const override {
    return platform::makeRect(rect.origin.x + originInWindow_.x, rect.origin.y + originInWindow_.y,
                              rect.size.width, rect.size.height);
  }
  void addSubview(platform::View& child) override {
    log_.push_back(name_ + ".addSubview");
    subviews.push_back(&child);
  }

  std::vector<platform::View*> subviews;

 protected:
  std::string name_;
  CallLog& log_;
  std::unique_ptr<FakeWindow> window_;
  platform::Point originInWindow_;
  platform::Rect frame_;
};

class FakeHostingView : public FakeView<platform::HostingView> {
 public:
  FakeHostingView(std::shared_ptr<platform::HostedContent> root, CallLog& log, int& liveHosts)
      : FakeView("host", log), root_(std::move(root)), liveHosts_(liveHosts) {
    ++liveHosts_;
    root_->install([] {});
  }
  ~FakeHostingView() override { --liveHosts_; }

 private:
  std::shared_ptr<platform::HostedContent> root_;
  int& liveHosts_;
};

class FakeButton : public FakeView<platform::Button> {
 public:
  using FakeView::FakeView;
  void setAction(std::function<void()> action) override {
    log_.push_back("button.setAction");
    action_ = std::move(action);
  }
  void click() { action_(); }

 private:
  std::function<void()> action_;
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
    auto button =
        std::make_unique<FakeButton>("button", log, std::move(window), configuration_.buttonOriginInWindow);
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

 private:
  std::vector<platform::Rect> screens_;
};

}  // namespace pellmor::testing
