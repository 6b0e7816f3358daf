#include "Backends/X11/DesktopApplication.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "Backends/Desktop/DesktopStatusBar.h"
#include "Backends/X11/DisplayLoss.h"
#include "Backends/X11/DisplayProbe.h"
#include "Backends/X11/X11Screens.h"
#include "Support/BrokenPipe.h"
#include "Support/SystemClock.h"
#include "Support/TerminationSignals.h"

namespace pellmor {
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

class DesktopApplication final : public platform::Application {
 public:
  DesktopApplication(int& argc, char** argv, desktop::DesktopStatusBar::Options hosts)
      : application_(argc, argv), hosts_(hosts) {
    x11::endProcessWhenDisplayIsLost([this] { return terminating_; });
  }

  void setDelegate(platform::ApplicationDelegate* delegate) override { delegate_ = delegate; }

  void setActivationPolicy(platform::ActivationPolicy policy) override {
    // An accessory has no window and no taskbar entry of its own; closing a window never ends it.
    application_.setQuitOnLastWindowClosed(policy != platform::ActivationPolicy::accessory);
  }

  int run() override {
    QSocketNotifier notifier(signals_.descriptor(), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [this] { terminationRequested(); });
    QTimer::singleShot(0, &application_, [this] {
      if (delegate_ != nullptr) delegate_->applicationDidFinishLaunching();
    });
    QApplication::exec();
    return 0;
  }

  platform::MainThread& mainThread() override { return mainThread_; }
  platform::TickerFactory& tickers() override { return tickers_; }
  platform::Clock& clock() override { return clock_; }
  platform::StatusBar& systemStatusBar() override { return statusBar(); }
  platform::Screens& screens() override { return screens_; }

 private:
  platform::StatusBar& statusBar() {
    if (!statusBar_) statusBar_ = std::make_unique<desktop::DesktopStatusBar>(hosts_);
    return *statusBar_;
  }

  void terminationRequested() {
    if (!signals_.consume() || terminating_) return;
    terminating_ = true;
    if (delegate_ != nullptr) delegate_->applicationWillTerminate();
    QApplication::quit();
  }

  QApplication application_;
  desktop::DesktopStatusBar::Options hosts_;
  TerminationSignals signals_;
  platform::ApplicationDelegate* delegate_ = nullptr;
  QtMainThread mainThread_;
  QtTickerFactory tickers_;
  SystemClock clock_;
  x11::X11Screens screens_;
  std::unique_ptr<desktop::DesktopStatusBar> statusBar_;
  bool terminating_ = false;
};

}  // namespace

std::unique_ptr<platform::Application> makeDesktopApplication(int& argc, char** argv) {
  const desktop::HostMode mode = desktop::hostModeFrom(std::getenv("PELLMOR_STATUS_HOST"));
  // Probed before Qt, which would end the process without a display.
  const bool xDisplay = displayAvailable() && mode != desktop::HostMode::statusNotifier;
  if (!desktop::desktopReachable(mode, xDisplay, sessionBusAvailable())) return nullptr;
  // The tray protocol is X11's: on an X display Qt must use xcb, never Wayland. Without one only the
  // StatusNotifierItem front end can show the item, and it needs Qt only to draw its pixmaps.
  setenv("QT_QPA_PLATFORM", xDisplay ? "xcb" : "offscreen", 1);
  // Before Qt starts its threads, which inherit the mask: a write to an X server that has just gone away
  // then fails like any other, and the broken connection is reported instead of killing the process.
  blockBrokenPipeSignal();
  return std::make_unique<DesktopApplication>(
      argc, argv, desktop::DesktopStatusBar::Options{mode, xDisplay, waylandSession()});
}

}  // namespace pellmor
