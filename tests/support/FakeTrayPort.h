#pragma once

// The tray dock's port as the tests drive it: records what the dock asks of the X server, answers as a
// tray would, and runs the dock's timers only when the test moves its clock.

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Backends/XEmbed/TrayDock.h"

namespace pellmor::testing {

class FakeTrayPort final : public xembed::TrayPort {
 public:
  using milliseconds = std::chrono::milliseconds;

  bool trayRuns = true;
  // What the screen shows of a cell: all of it unless told otherwise.
  std::function<std::optional<xembed::PixelRect>(xembed::PixelRect)> screen = [](xembed::PixelRect cell) {
    return std::optional<xembed::PixelRect>(cell);
  };
  std::vector<milliseconds> dockRequests;        // when each request went out
  std::vector<std::string> calls;                // every other call, by name, in order
  std::vector<xembed::PixelSize> resizes;        // every size the widget was given
  std::vector<xembed::PixelSize> serverResizes;  // those also asked of the X server
  std::optional<xembed::PixelRect> fittedCell;
  std::function<void()> windowRemade;  // what the backend reports once it has made a new window
  int cellChanges = 0;

  milliseconds now() const { return now_; }
  // Moves the clock on, running each timer that falls due on the way, in order.
  void advance(milliseconds by) {
    const milliseconds end = now_ + by;
    while (!timers_.empty() && timers_.begin()->first <= end) {
      const auto due = timers_.begin();
      now_ = due->first;
      auto task = std::move(due->second);
      timers_.erase(due);
      task();
    }
    now_ = end;
  }
  int count(const std::string& call) const {
    int n = 0;
    for (const std::string& made : calls)
      n += made == call;
    return n;
  }

  bool requestDock() override {
    if (trayRuns) dockRequests.push_back(now_);
    return trayRuns;
  }
  void lookUpManager() override { calls.push_back("lookUpManager"); }
  void withdraw() override { calls.push_back("withdraw"); }
  void withdrawToRoot() override { calls.push_back("withdrawToRoot"); }
  void recreateWindow() override {
    calls.push_back("recreateWindow");
    if (windowRemade) windowRemade();
  }
  void showInTray() override { calls.push_back("showInTray"); }
  void resizeWindow(xembed::PixelSize size) override {
    resizes.push_back(size);
    serverResizes.push_back(size);
  }
  void takeWindowSize(xembed::PixelSize size) override { resizes.push_back(size); }
  void fitCell(xembed::PixelRect cell) override { fittedCell = cell; }
  std::optional<xembed::PixelRect> shownPart(xembed::PixelRect cell) override { return screen(cell); }
  void cellChanged() override { ++cellChanges; }
  void after(milliseconds delay, std::function<void()> task) override {
    timers_.emplace(now_ + delay, std::move(task));
  }

 private:
  milliseconds now_{0};
  std::multimap<milliseconds, std::function<void()>> timers_;
};

}  // namespace pellmor::testing
