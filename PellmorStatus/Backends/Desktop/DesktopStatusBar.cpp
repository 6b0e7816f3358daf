#include "Backends/Desktop/DesktopStatusBar.h"

#include <QObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

#include "Backends/GnomeShell/GnomeShellButton.h"
#include "Backends/GnomeShell/ShellExtensionTracker.h"
#include "Backends/Qt/QtHostingView.h"
#include "Backends/Qt/QtScreens.h"
#include "Backends/StatusNotifier/StatusNotifierButton.h"
#include "Backends/StatusNotifier/StatusNotifierWatcherTracker.h"
#include "Backends/XEmbed/TrayButton.h"
#include "Backends/XEmbed/TrayTracker.h"

namespace pellmor::desktop {
namespace {

// The item's button on whichever front end shows it: the tray's button when XEmbed is chosen, the GNOME
// Shell extension's or the StatusNotifierItem's otherwise. All follow the controller's frame and action all
// the time, so a switch needs nothing from the controller.
class DesktopButton final : public platform::Button {
 public:
  DesktopButton(HostMode mode, HostSituation situation, xembed::TrayTracker* tray,
                sni::StatusNotifierWatcherTracker* watcher, gnome::ShellExtensionTracker* shellExtension)
      : mode_(mode),
        situation_(situation),
        watcher_(watcher),
        shellExtension_(shellExtension),
        chooser_(mode) {
    wakeUp_.setSingleShot(true);
    QObject::connect(&wakeUp_, &QTimer::timeout, [this] { reconsider(); });
    if (tray != nullptr) {
      tray_ = std::make_unique<xembed::TrayButton>(*tray, qt::currentScreenLayout);
      tray_->setDockingEnabled(false);  // until the choice below
      tray_->setTrayObserver([this] { reconsider(); });
    }
    if (watcher != nullptr) {
      sni_ = std::make_unique<sni::StatusNotifierButton>(*watcher);
      watcherConnection_ = QObject::connect(watcher, &sni::StatusNotifierWatcherTracker::availabilityChanged,
                                            [this] { reconsider(); });
    }
    if (shellExtension != nullptr) {
      shell_ = std::make_unique<gnome::GnomeShellButton>(*shellExtension, qt::currentScreenLayout);
      shellConnection_ = QObject::connect(shellExtension, &gnome::ShellExtensionTracker::availabilityChanged,
                                          [this] { reconsider(); });
    }
    reconsider();
  }

  ~DesktopButton() override {
    QObject::disconnect(watcherConnection_);
    QObject::disconnect(shellConnection_);
  }

  // Geometry questions go to the tray's button while it shows the item (the tray may give it a cell of
  // its own size), and to the extension's, which knows the item's place in the top bar.
  platform::Rect frame() const override { return inTray() ? tray_->frame() : frame_; }
  void setFrame(platform::Rect frame) override {
    frame_ = frame;
    if (tray_) tray_->setFrame(frame);
    if (sni_) sni_->setFrame(frame);
    if (shell_) shell_->setFrame(frame);
  }
  platform::Rect bounds() const override {
    const platform::Button* placed = placedButton();
    return placed != nullptr ? placed->bounds() : platform::Rect{{}, frame_.size};
  }
  const platform::Window* window() const override {
    const platform::Button* placed = placedButton();
    return placed != nullptr ? placed->window() : nullptr;
  }
  platform::Rect convertRectToWindow(platform::Rect rect) const override {
    const platform::Button* placed = placedButton();
    return placed != nullptr ? placed->convertRectToWindow(rect) : rect;
  }
  void addSubview(platform::View& child) override {
    if (tray_) tray_->addSubview(child);
    if (sni_) sni_->addSubview(child);
    if (shell_) shell_->addSubview(child);
  }
  void setAction(std::function<void()> action) override {
    if (tray_) tray_->setAction(action);
    if (sni_) sni_->setAction(action);
    if (shell_) shell_->setAction(std::move(action));
  }

 private:
  bool inTray() const { return host_ == Host::xembed && tray_; }
  // The front end's button that knows where the item is shown; none on a StatusNotifierItem host.
  const platform::Button* placedButton() const {
    if (inTray()) return tray_.get();
    if (host_ == Host::gnomeShell && shell_) return shell_.get();
    return nullptr;
  }

  void reconsider() {
    situation_.xembedTray = tray_ && tray_->trayPresent();
    situation_.trayGivesWidth = tray_ ? tray_->trayGivesWidth() : std::nullopt;
    situation_.sessionBus = (watcher_ != nullptr && watcher_->busReachable()) ||
                            (shellExtension_ != nullptr && shellExtension_->busReachable());
    situation_.watcher = watcher_ != nullptr && watcher_->available();
    situation_.shellExtension = shellExtension_ != nullptr && shellExtension_->available();
    situation_.statusNotifierHost = watcher_ != nullptr ? watcher_->host() : sni::StatusNotifierHost::unknown;
    const HostChooser::Step step = chooser_.update(situation_, HostChooser::Clock::now());
    if (step.announceMissingHost) {
      std::fprintf(stderr, "%s; the item appears as soon as one starts\n",
                   missingHostLine(mode_, situation_).c_str());
      std::fflush(stderr);
    }
    if (step.wakeAt) {
      const auto wait =
          std::chrono::ceil<std::chrono::milliseconds>(*step.wakeAt - HostChooser::Clock::now());
      wakeUp_.start(std::max(wait, std::chrono::milliseconds(0)));
    }
    show(step.host);
  }

  void show(Host chosen) {
    if (chosen == host_) return;
    host_ = chosen;
    // The item leaves the bus front ends first, so a host never shows it twice.
    if (sni_ && chosen != Host::statusNotifier) sni_->setPublished(false);
    if (shell_ && chosen != Host::gnomeShell) shell_->setPublished(false);
    if (tray_) tray_->setDockingEnabled(chosen == Host::xembed);
    if (sni_ && chosen == Host::statusNotifier) sni_->setPublished(true);
    if (shell_ && chosen == Host::gnomeShell) shell_->setPublished(true);
  }

  HostMode mode_;
  HostSituation situation_;
  sni::StatusNotifierWatcherTracker* watcher_;    // null without a session bus
  gnome::ShellExtensionTracker* shellExtension_;  // null without a session bus
  std::unique_ptr<xembed::TrayButton> tray_;
  std::unique_ptr<sni::StatusNotifierButton> sni_;
  std::unique_ptr<gnome::GnomeShellButton> shell_;
  QMetaObject::Connection watcherConnection_;
  QMetaObject::Connection shellConnection_;
  HostChooser chooser_;
  QTimer wakeUp_;  // for the chooser's next step when nothing else happens
  Host host_ = Host::none;
  platform::Rect frame_;
};

class DesktopStatusBarItem final : public platform::StatusBarItem {
 public:
  explicit DesktopStatusBarItem(std::unique_ptr<DesktopButton> button) : button_(std::move(button)) {}
  platform::Button* button() override { return button_.get(); }

 private:
  std::unique_ptr<DesktopButton> button_;
};

}  // namespace

DesktopStatusBar::DesktopStatusBar(Options options) : options_(options) {
  const auto allows = [mode = options_.mode](HostMode forced) {
    return mode == HostMode::automatic || mode == forced;
  };
  if (options_.xDisplay && allows(HostMode::xembed)) tray_ = std::make_unique<xembed::TrayTracker>();
  if (allows(HostMode::statusNotifier)) watcher_ = std::make_unique<sni::StatusNotifierWatcherTracker>();
  if (allows(HostMode::gnomeShell)) shellExtension_ = std::make_unique<gnome::ShellExtensionTracker>();
}

DesktopStatusBar::~DesktopStatusBar() = default;

std::unique_ptr<platform::StatusBarItem> DesktopStatusBar::statusItemWithLength(double /*length*/) {
  // The item's width always follows its button, which is what a variable length asks for.
  HostSituation situation;
  situation.xDisplay = options_.xDisplay;
  situation.waylandSession = options_.waylandSession;
  situation.sessionBus = watcher_ != nullptr || shellExtension_ != nullptr;
  return std::make_unique<DesktopStatusBarItem>(std::make_unique<DesktopButton>(
      options_.mode, situation, tray_.get(), watcher_.get(), shellExtension_.get()));
}

std::unique_ptr<platform::HostingView> DesktopStatusBar::makeHostingView(
    std::shared_ptr<platform::HostedContent> root) {
  return std::make_unique<qt::QtHostingView>(std::move(root));
}

}  // namespace pellmor::desktop
