#include "Backends/Qt/QtApplication.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>
#include <utility>

#include "Backends/Qt/MainThreadTasks.h"
#include "Backends/Qt/QtScreens.h"
#include "Backends/Qt/QtTextMetrics.h"
#include "Support/SystemClock.h"
#include "Support/TerminationSignals.h"
#include "Support/WallClockTimerFd.h"

namespace pellmor::qt {
namespace {

// A timerfd on the wall clock, watched by a socket notifier: Qt's own timers run on the monotonic clock
// and would miss a step of the wall clock. Socket notifiers also fire inside nested event loops (a menu
// open, a drag).
class QtWallClockTimer final : public platform::WallClockTimer {
 public:
  explicit QtWallClockTimer(std::function<void()> onFire)
      : notifier_(timer_.descriptor(), QSocketNotifier::Read), onFire_(std::move(onFire)) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] {
      if (timer_.consume()) onFire_();
    });
  }

  void fireAt(double instant) override { timer_.armAt(instant); }
  void disarm() override { timer_.disarm(); }

 private:
  WallClockTimerFd timer_;
  QSocketNotifier notifier_;
  std::function<void()> onFire_;
};

class QtTickerFactory final : public platform::TickerFactory {
 public:
  std::unique_ptr<platform::WallClockTimer> makeWallClockTimer(std::function<void()> onFire) override {
    return std::make_unique<QtWallClockTimer>(std::move(onFire));
  }
};

}  // namespace

class QtApplication::Impl {
 public:
  Impl(int& argc, char** argv, StatusBarFactory makeStatusBar)
      : application_(argc, argv), makeStatusBar_(std::move(makeStatusBar)) {
    // The item's pictures are drawn on Qt's global thread pool at each change of text: a pool thread that
    // ended 30 s after each would be started again a minute later, costing wake-ups and memory churn.
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
  }

  int run() {
    QSocketNotifier notifier(signals_.descriptor(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [this] { terminationRequested(); });
    QTimer::singleShot(0, &application_, [this] {
      if (delegate_ != nullptr) delegate_->applicationDidFinishLaunching();
    });
    QApplication::exec();
    return 0;
  }

  platform::StatusBar& statusBar() {
    if (!statusBar_) statusBar_ = makeStatusBar_();
    return *statusBar_;
  }

  void terminationRequested() {
    if (!signals_.consume() || terminating_) return;
    terminating_ = true;
    if (delegate_ != nullptr) delegate_->applicationWillTerminate();
    // Not quit(): that first asks every window to close, and the item's window refuses a tray's close.
    QCoreApplication::exit(0);
  }

  QApplication application_;
  StatusBarFactory makeStatusBar_;
  TerminationSignals signals_;
  platform::ApplicationDelegate* delegate_ = nullptr;
  MainThreadTasks mainThread_;
  QtTickerFactory tickers_;
  SystemClock clock_;
  QtScreens screens_;
  QtTextMetrics textMetrics_;
  std::unique_ptr<platform::StatusBar> statusBar_;
  bool terminating_ = false;
};

QtApplication::QtApplication(int& argc, char** argv, StatusBarFactory makeStatusBar)
    : impl_(std::make_unique<Impl>(argc, argv, std::move(makeStatusBar))) {}

QtApplication::~QtApplication() = default;

void QtApplication::setDelegate(platform::ApplicationDelegate* delegate) {
  impl_->delegate_ = delegate;
}

void QtApplication::setActivationPolicy(platform::ActivationPolicy policy) {
  // An accessory has no window and no taskbar entry of its own; closing a window never ends it.
  impl_->application_.setQuitOnLastWindowClosed(policy != platform::ActivationPolicy::accessory);
}

int QtApplication::run() {
  return impl_->run();
}

platform::MainThread& QtApplication::mainThread() {
  return impl_->mainThread_;
}

platform::TickerFactory& QtApplication::tickers() {
  return impl_->tickers_;
}

platform::Clock& QtApplication::clock() {
  return impl_->clock_;
}

platform::StatusBar& QtApplication::systemStatusBar() {
  return impl_->statusBar();
}

platform::Screens& QtApplication::screens() {
  return impl_->screens_;
}

const platform::TextMetrics& QtApplication::textMetrics() {
  return impl_->textMetrics_;
}

bool QtApplication::terminating() const {
  return impl_->terminating_;
}

}  // namespace pellmor::qt
