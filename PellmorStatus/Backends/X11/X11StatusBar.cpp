#include "Backends/X11/X11StatusBar.h"

#include <QGuiApplication>
#include <QScreen>

#include "Backends/X11/HostingView.h"
#include "Backends/X11/TrayButton.h"
#include "Backends/X11/TrayTracker.h"

namespace pellmor::x11 {
namespace {

platform::Rect topLeftPoints(const QRect& rect) {
  return platform::makeRect(rect.x(), rect.y(), rect.width(), rect.height());
}

// The global origin sits at the first screen's bottom-left corner, wherever the root window puts it.
ScreenLayout layoutOf(const QScreen& firstScreen) {
  const QRect geometry = firstScreen.geometry();
  return ScreenLayout{firstScreen.devicePixelRatio(), static_cast<double>(geometry.y() + geometry.height()),
                      static_cast<double>(geometry.x())};
}

// An item in the tray: always has a button, which waits for a tray when none runs.
class X11StatusBarItem final : public platform::StatusBarItem {
 public:
  explicit X11StatusBarItem(TrayTracker& tracker) : button_(tracker, currentScreenLayout) {}
  platform::Button* button() override { return &button_; }

 private:
  TrayButton button_;
};

}  // namespace

std::vector<platform::Rect> X11Screens::screens() const {
  const QList<QScreen*> all = QGuiApplication::screens();
  std::vector<platform::Rect> frames;
  if (all.isEmpty()) return frames;
  const ScreenLayout layout = layoutOf(*all.front());
  for (const QScreen* screen : all) {
    frames.push_back(globalFromTopLeftPoints(topLeftPoints(screen->geometry()), layout));
  }
  return frames;
}

ScreenLayout currentScreenLayout() {
  const QList<QScreen*> all = QGuiApplication::screens();
  if (all.isEmpty()) return ScreenLayout{};
  return layoutOf(*all.front());
}

X11StatusBar::X11StatusBar() : tracker_(std::make_unique<TrayTracker>()) {}

X11StatusBar::~X11StatusBar() = default;

std::unique_ptr<platform::StatusBarItem> X11StatusBar::statusItemWithLength(double /*length*/) {
  // The item's width always follows its button, which is what a variable length asks for.
  return std::make_unique<X11StatusBarItem>(*tracker_);
}

std::unique_ptr<platform::HostingView> X11StatusBar::makeHostingView(
    std::shared_ptr<platform::HostedContent> root) {
  return std::make_unique<HostingView>(std::move(root));
}

}  // namespace pellmor::x11
