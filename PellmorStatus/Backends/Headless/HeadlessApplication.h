#pragma once

#include "Backends/BackendLayer.h"

#include <memory>
#include <optional>
#include <vector>

#include "Backends/Headless/HeadlessStatusBar.h"
#include "Platform/Application.h"

namespace pellmor {

// The application object on a machine without a display: an event loop on the calling thread (posted
// tasks, one-second tickers and the termination signals, all waited for with poll, no wake-up while idle)
// and a status bar whose items have no button.
class HeadlessApplication : public platform::Application {
 public:
  struct Options {
    // Gives status items a button in a virtual menu bar; without it they have none.
    std::optional<HeadlessStatusBar::VirtualMenuBar> menuBar;
    std::vector<platform::Rect> screens;
  };

  HeadlessApplication();
  explicit HeadlessApplication(Options options);
  ~HeadlessApplication() override;

  void setDelegate(platform::ApplicationDelegate* delegate) override;
  void setActivationPolicy(platform::ActivationPolicy policy) override;
  // Also returns, as after a termination signal, once requestTermination() has been called.
  int run() override;

  platform::MainThread& mainThread() override;
  platform::TickerFactory& tickers() override;
  platform::Clock& clock() override;
  platform::StatusBar& systemStatusBar() override;
  platform::Screens& screens() override;

  // The policy last set; regular until then.
  platform::ActivationPolicy activationPolicy() const;
  // Callable from any thread: the loop ends as if a termination signal had arrived.
  void requestTermination();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pellmor
