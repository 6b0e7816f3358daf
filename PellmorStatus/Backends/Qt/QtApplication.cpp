#include "Backends/Qt/QtApplication.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <utility>

#include "Backends/Qt/QtScreens.h"
#include "Backends/Qt/QtTextMetrics.h"
#include "Support/SystemClock.h"
#include "Support/TerminationSignals.h"

namespace pellmor::qt {
namespace {

class QtMainThread final : public platform::MainThread {
 public:
  void post(std::function<void()> task) override {
    // Queued events of one priority are delivered in the order they were posted.
    QMetaObject::invokeMethod(&receiver_, std::move(task), Qt::QueuedConnection);
  }

 private:
  QObject receiver_;  // lives on the main thread, where it was made
};

class QtTicker final : public platform::Ticker {
 public:
  QtTicker(std::chrono::milliseconds interval, std::function<void()> onTick) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(interval);
    QObject::connect(&timer_, &QTimer::timeout, std::move(onTick));
    timer_.start();
  }

 private:
  QTimer timer_;  // also fires inside nested event loops (menus, drags)
};

class QtTickerFactory final : public platform::TickerFactory {
 public:
  std::unique_ptr<platform::Ticker> startRepeating(std::chrono::milliseconds interval,
                                                   std::function<void()> onTick) override {
    return std::make_unique<QtTicker>(interval, std::move(onTick));
  }
};

}  // namespace

class QtApplication::Impl {
 public:
  Impl(int& argc, char** argv, StatusBarFactory makeStatusBar)
      : application_(argc, argv), makeStatusBar_(std::move(makeStatusBar)) {}

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
    QApplication::quit();
  }

  QApplication application_;
  StatusBarFactory makeStatusBar_;
  TerminationSignals signals_;
  platform::ApplicationDelegate* delegate_ = nullptr;
  QtMainThread mainThread_;
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
