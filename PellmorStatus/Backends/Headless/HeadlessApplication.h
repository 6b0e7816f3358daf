#pragma once

#include "Backends/BackendLayer.h"

#include <memory>

#include "Backends/Headless/HeadlessStatusBar.h"
#include "Platform/Application.h"

namespace pellmor {

// The application object on a machine without a display: an event loop on the calling thread (posted
// tasks, one-second tickers and the termination signals, all waited for with poll, no wake-up while idle)
// and a status bar whose items have no button.
class HeadlessApplication : public platform::Application {
 public:
  HeadlessApplication();
  ~HeadlessApplication() override;

  void setDelegate(platform::ApplicationDelegate* delegate) override;
  void setActivationPolicy(platform::ActivationPolicy policy) override;
  int run() override;

  platform::MainThread& mainThread() override;
  platform::TickerFactory& tickers() override;
  platform::Clock& clock() override;
  platform::StatusBar& systemStatusBar() override;
  platform::Screens& screens() override;
  // Fixed metrics: nothing is drawn.
  const platform::TextMetrics& textMetrics() override;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pellmor
