#include "Backends/Qt/QtScreens.h"

#include <QGuiApplication>
#include <QScreen>

namespace pellmor::qt {
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

}  // namespace

std::vector<platform::Rect> QtScreens::screens() const {
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

}  // namespace pellmor::qt
