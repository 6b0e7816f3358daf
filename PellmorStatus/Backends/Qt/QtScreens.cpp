#include "Backends/Qt/QtScreens.h"

#include <QGuiApplication>
#include <QScreen>

namespace pellmor::qt {
namespace {

// A screen in points of the given pixel ratio, with a top-left origin. Qt gives a screen's size in its own
// points but leaves its top-left corner in device pixels, so both are brought back to pixels first and
// then scaled alike, as every X11 pixel is.
platform::Rect topLeftPoints(const QScreen& screen, double devicePixelRatio) {
  const QRect geometry = screen.geometry();
  const double sizeToPixels = screen.devicePixelRatio();
  return platform::makeRect(geometry.x() / devicePixelRatio, geometry.y() / devicePixelRatio,
                            geometry.width() * sizeToPixels / devicePixelRatio,
                            geometry.height() * sizeToPixels / devicePixelRatio);
}

// The global origin sits at the first screen's bottom-left corner, wherever the root window puts it.
ScreenLayout layoutOf(const QScreen& firstScreen) {
  const double ratio = firstScreen.devicePixelRatio();
  const platform::Rect first = topLeftPoints(firstScreen, ratio);
  return ScreenLayout{ratio, first.origin.y + first.height(), first.origin.x};
}

}  // namespace

std::vector<platform::Rect> QtScreens::screens() const {
  const QList<QScreen*> all = QGuiApplication::screens();
  std::vector<platform::Rect> frames;
  if (all.isEmpty()) return frames;
  const ScreenLayout layout = layoutOf(*all.front());
  for (const QScreen* screen : all) {
    frames.push_back(globalFromTopLeftPoints(topLeftPoints(*screen, layout.devicePixelRatio), layout));
  }
  return frames;
}

ScreenLayout currentScreenLayout() {
  const QList<QScreen*> all = QGuiApplication::screens();
  if (all.isEmpty()) return ScreenLayout{};
  return layoutOf(*all.front());
}

}  // namespace pellmor::qt
