#include "Backends/X11/X11Screens.h"

#include <QGuiApplication>
#include <QScreen>

namespace pellmor::x11 {
namespace {

platform::Rect topLeftPoints(const QRect& rect) {
  return platform::makeRect(rect.x(), rect.y(), rect.width(), rect.height());
}

double bottomOf(const QScreen& screen) {
  const QRect geometry = screen.geometry();
  return geometry.y() + geometry.height();
}

}  // namespace

std::vector<platform::Rect> X11Screens::screens() const {
  const QList<QScreen*> all = QGuiApplication::screens();
  std::vector<platform::Rect> frames;
  if (all.isEmpty()) return frames;
  const double firstBottom = bottomOf(*all.front());
  for (const QScreen* screen : all) {
    frames.push_back(globalFromTopLeftPoints(topLeftPoints(screen->geometry()), firstBottom));
  }
  return frames;
}

ScreenLayout currentScreenLayout() {
  const QList<QScreen*> all = QGuiApplication::screens();
  if (all.isEmpty()) return ScreenLayout{};
  return ScreenLayout{all.front()->devicePixelRatio(), bottomOf(*all.front())};
}

}  // namespace pellmor::x11
