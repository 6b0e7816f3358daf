#pragma once

// The platform's clock, tickers, main thread, status bar and screens as the tests drive them, and the
// patience of every wait in the tests.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Platform/Clock.h"
#include "Platform/MainThread.h"
#include "Platform/Screens.h"
#include "Platform/StatusBar.h"
#include "Platform/Ticker.h"

namespace pellmor::testing {

// How long a test waits for a state before it fails: generous, and multiplied by PELLMOR_TEST_TIME_SCALE,
// which the sanitizer builds set. A slow machine makes a test slower, never red.
inline double timeScale() {
  const char* scale = std::getenv("PELLMOR_TEST_TIME_SCALE");
  const double value = scale != nullptr ? std::atof(scale) : 1.0;
  return value >= 1.0 ? value : 1.0;
}
inline std::chrono::milliseconds patience(double seconds = 30) {
  return std::chrono::milliseconds(static_cast<long>(seconds * 1000 * timeScale()));
}

// A wall clock that moves only when the test moves it.
class FakeClock : public platform::Clock {
 public:
  explicit FakeClock(double now = 0) : now_(now) {}
  double now() const override { return now_; }
  void set(double now) { now_ = now; }
  void advance(double seconds) { now_ += seconds; }

 private:
  double now_;
};

// Tickers that fire only when the test says so. A handle's destruction stops its ticker.
class FakeTickerFactory : public platform::TickerFactory {
 public:
  std::unique_ptr<platform::Ticker> startRepeating(std::chrono::milliseconds interval,
                                                   std::function<void()> onTick) override {
    tickers_.push_back(std::make_shared<Entry>(Entry{interval, std::move(onTick)}));
    return std::make_unique<Handle>(tickers_.back());
  }

  // One tick of every running ticker, in the order they were started.
  void tick() {
    for (const auto& entry : std::vector(tickers_))  // copies survive stopping themselves
      if (entry->running) entry->onTick();
  }
  std::size_t runningCount() const {
    return static_cast<std::size_t>(
        std::count_if(tickers_.begin(), tickers_.end(), [](const auto& entry) { return entry->running; }));
  }
  int startedCount() const { return static_cast<int>(tickers_.size()); }
  std::chrono::milliseconds lastInterval() const { return tickers_.back()->interval; }

 private:
  struct Entry {
    std::chrono::milliseconds interval;
    std::function<void()> onTick;
    bool running = true;
  };
  struct Handle : platform::Ticker {
    explicit Handle(std::shared_ptr<Entry> entry) : entry(std::move(entry)) {}
    ~Handle() override { entry->running = false; }
    std::shared_ptr<Entry> entry;
  };
  std::vector<std::shared_ptr<Entry>> tickers_;
};

// The main thread's queue: any thread may post; the test thread runs the tasks when it drains.
class ManualMainThread final : public platform::MainThread {
 public:
  void post(std::function<void()> task) override {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
      mostQueued_ = std::max(mostQueued_, tasks_.size());
    }
    posted_.notify_all();
  }

  // Runs every queued task, including those posted meanwhile. Returns how many ran.
  int drain() {
    int ran = 0;
    for (auto task = takeTask(); task; task = takeTask(), ++ran)
      task();
    return ran;
  }

  // Drains until `done` holds or the patience runs out; the predicate is also checked every few
  // milliseconds, for conditions that no posted task signals.
  template <typename Predicate>
  bool waitFor(Predicate done, std::chrono::milliseconds timeout = patience()) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      drain();
      if (done()) return true;
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return false;
      std::unique_lock lock(mutex_);
      posted_.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(5)),
                         [this] { return !tasks_.empty(); });
    }
  }

  std::size_t queued() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }
  // The longest the queue has been.
  std::size_t mostQueued() const {
    std::lock_guard lock(mutex_);
    return mostQueued_;
  }

 private:
  std::function<void()> takeTask() {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return nullptr;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
  }

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
  std::size_t mostQueued_ = 0;
};

// Every status-bar call, in order, as text: "button.setFrame(0,0,63,22)".
using CallLog = std::vector<std::string>;

inline std::string frameCall(const std::string& name, platform::Rect frame) {
  std::ostringstream call;
  call << name << ".setFrame(" << frame.origin.x << ',' << frame.origin.y << ',' << frame.size.width << ','
       << frame.size.height << ')';
  return call.str();
}

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
    log_.push_back(frameCall(name_, frame));
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
    log.push_back("statusItemWithLength(" + std::to_string(static_cast<int>(length)) + ")");
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
