#include "Backends/Headless/HeadlessApplication.h"

#include <atomic>

#include "Backends/Headless/HeadlessEventLoop.h"
#include "Support/SystemClock.h"
#include "Support/TerminationSignals.h"

namespace pellmor {
namespace {

HeadlessStatusBar makeStatusBar(const HeadlessApplication::Options& options) {
  return options.menuBar ? HeadlessStatusBar(*options.menuBar) : HeadlessStatusBar();
}

}  // namespace

class HeadlessApplication::Impl {
 public:
  explicit Impl(const Options& options) : statusBar(makeStatusBar(options)), screens(options.screens) {}

  // Runs until a termination signal arrives or termination is requested.
  void loopUntilTermination() {
    while (!terminationRequested.load()) {
      const bool signalled = loop.waitAndDispatch(signals.descriptor());
      if (signalled && signals.consume()) return;
    }
  }

  HeadlessEventLoop loop;
  TerminationSignals signals;
  SystemClock clock;
  HeadlessStatusBar statusBar;
  HeadlessScreens screens;
  platform::ApplicationDelegate* delegate = nullptr;
  platform::ActivationPolicy activationPolicy = platform::ActivationPolicy::regular;
  std::atomic<bool> terminationRequested{false};
};

HeadlessApplication::HeadlessApplication() : HeadlessApplication(Options{}) {}

HeadlessApplication::HeadlessApplication(Options options) : impl_(std::make_unique<Impl>(options)) {}

HeadlessApplication::~HeadlessApplication() = default;

void HeadlessApplication::setDelegate(platform::ApplicationDelegate* delegate) {
  impl_->delegate = delegate;
}

void HeadlessApplication::setActivationPolicy(platform::ActivationPolicy policy) {
  impl_->activationPolicy = policy;  // nothing is shown either way
}

platform::ActivationPolicy HeadlessApplication::activationPolicy() const {
  return impl_->activationPolicy;
}

int HeadlessApplication::run() {
  impl_->loop.post([this] {
    if (impl_->delegate != nullptr) impl_->delegate->applicationDidFinishLaunching();
  });
  impl_->loopUntilTermination();
  if (impl_->delegate != nullptr) impl_->delegate->applicationWillTerminate();
  return 0;
}

void HeadlessApplication::requestTermination() {
  impl_->terminationRequested.store(true);
  impl_->loop.wake();
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

}  // namespace pellmor
