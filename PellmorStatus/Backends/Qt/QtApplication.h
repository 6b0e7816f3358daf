#pragma once

#include "Backends/BackendLayer.h"

#include <functional>
#include <memory>

#include "Platform/Application.h"

namespace pellmor::qt {

// The application object on Qt: Qt's event loop is the main thread, its timers are the tickers, and the
// termination signals end the loop after applicationWillTerminate. The status bar is made on first use by
// the factory the desktop gives, once Qt runs.
class QtApplication final : public platform::Application {
 public:
  using StatusBarFactory = std::function<std::unique_ptr<platform::StatusBar>()>;

  QtApplication(int& argc, char** argv, StatusBarFactory makeStatusBar);
  ~QtApplication() override;

  void setDelegate(platform::ApplicationDelegate* delegate) override;
  void setActivationPolicy(platform::ActivationPolicy policy) override;
  int run() override;

  platform::MainThread& mainThread() override;
  platform::TickerFactory& tickers() override;
  platform::Clock& clock() override;
  platform::StatusBar& systemStatusBar() override;
  platform::Screens& screens() override;
  const platform::TextMetrics& textMetrics() override;

  // Whether a termination signal is being handled.
  bool terminating() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pellmor::qt
