#include "Backends/Headless/HeadlessApplication.h"

#include "Backends/Headless/FixedTextMetrics.h"
#include "Backends/Headless/HeadlessEventLoop.h"
#include "Support/SystemClock.h"
#include "Support/TerminationSignals.h"

namespace pellmor {

class HeadlessApplication::Impl {
 public:
  // Runs until a termination signal arrives.
  void loopUntilTermination() {
    for (;;) {
      const bool signalled = loop.waitAndDispatch(signals.descriptor());
      if (signalled && signals.consume()) return;
    }
  }

  HeadlessEventLoop loop;
  TerminationSignals signals;
  SystemClock clock;
  HeadlessStatusBar statusBar;
  HeadlessScreens screens;
  FixedTextMetrics textMetrics;
  platform::ApplicationDelegate* delegate = nullptr;
};

HeadlessApplication::HeadlessApplication() : impl_(std::make_unique<Impl>()) {}

HeadlessApplication::~HeadlessApplication() = default;

void HeadlessApplication::setDelegate(platform::ApplicationDelegate* delegate) {
  impl_->delegate = delegate;
}

void HeadlessApplication::setActivationPolicy(platform::ActivationPolicy) {
  // Nothing is shown either way: no taskbar entry, no window.
}

int HeadlessApplication::run() {
  impl_->loop.post([this] {
    if (impl_->delegate != nullptr) impl_->delegate->applicationDidFinishLaunching();
  });
  impl_->loopUntilTermination();
  if (impl_->delegate != nullptr) impl_->delegate->applicationWillTerminate();
  return 0;
}

platform::MainThread& HeadlessApplication::mainThread() {
  return impl_->loop;
}
platform::TickerFactory& HeadlessApplication::tickers() {
  return impl_->loop;
}
platform::Clock& HeadlessApplication::clock() {
  return impl_->clock;
}
platform::StatusBar& HeadlessApplication::systemStatusBar() {
  return impl_->statusBar;
}
platform::Screens& HeadlessApplication::screens() {
  return impl_->screens;
}
const platform::TextMetrics& HeadlessApplication::textMetrics() {
  return impl_->textMetrics;
}

}  // namespace pellmor
