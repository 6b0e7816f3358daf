// The desktop backend's pure helpers: X11 pixels to global points, window and screen conversions, the
// continuous rounded rectangle, and the item drawn into an image.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainterPath>
#include <vector>

#include "Backends/X11/Artwork.h"
#include "Backends/X11/ContinuousCorners.h"
#include "Backends/X11/GlobalCoordinates.h"
#include "Backends/X11/ItemPainter.h"

namespace pellmor::x11 {
namespace {

using platform::makeRect;
using platform::Rect;

TEST(GlobalCoordinates, FlipAboutTheFirstScreensBottomScaleAndShiftByItsLeftEdge) {
  struct Case {
    const char* what;
    PixelRect pixels;
    ScreenLayout layout;
    Rect expected;
  } const cases[] = {
      {"2x screen: pixels halve", {2432, 2, 126, 44}, {2, 800}, makeRect(1216, 777, 63, 22)},
      {"fractional ratio keeps the fraction", {3, 0, 5, 3}, {2, 100}, makeRect(1.5, 98.5, 2.5, 1.5)},
      {"first screen right of another", {1500, 0, 63, 24}, {1, 800, 1280}, makeRect(220, 776, 63, 24)},
      {"item on the screen left of the first",
       {100, 0, 63, 24},
       {1, 800, 1280},
       makeRect(-1180, 776, 63, 24)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(globalFromPixels(c.pixels, c.layout), c.expected) << c.what;
  }
  EXPECT_EQ(globalFromTopLeftPoints(makeRect(0, 0, 1280, 1024), {1, 800, 1280}),
            makeRect(-1280, -224, 1280, 1024));
  // A button 4 in and 10 down in a 40 high window whose frame is at (1215, 776).
  const Rect inWindow = windowFromView(makeRect(0, 0, 63, 22), {4, 10}, 40);
  EXPECT_EQ(screenFromWindow(inWindow, makeRect(1215, 776, 80, 40)), makeRect(1219, 784, 63, 22));
}

// Only the corners with a radius are cut, and each eases in further than a circular arc of that radius:
// the points cut away near the top-left corner all lie inside a circular arc of radius 2.
TEST(ContinuousRoundedRect, RoundsOnlyItsCornersEasingInFurtherThanAnArc) {
  const QRectF frame(0, 0, 40, 16);
  const QPainterPath path = continuousRoundedRect(frame, {.topLeading = 2, .bottomLeading = 2});
  for (const QPointF point : {QPointF(0.2, 15.8), QPointF(1.5, 0.1), QPointF(0.1, 1.5), QPointF(2.4, 0.01)}) {
    EXPECT_FALSE(path.contains(point)) << point.x() << "," << point.y();
  }
  for (const QPointF point : {QPointF(39.9, 0.1), QPointF(39.9, 15.9), QPointF(1.2, 1.2)}) {
    EXPECT_TRUE(path.contains(point)) << point.x() << "," << point.y();
  }
  EXPECT_EQ(path.boundingRect(), frame);
}

platform::RenderDescription fullRow() {
  return {.size = {63, 16},
          .timerButtonFrame = makeRect(2, 0, 20, 16),
          .timerButtonCorners = {.topLeading = 2, .bottomLeading = 2},
          .imageName = "PlayButton",
          .trailingFrame = makeRect(22, 0, 39, 16),
          .trailingCorners = {.bottomTrailing = 2, .topTrailing = 2},
          .trailingBackgroundColour = "StatusItemBackground",
          .text = "-:--",
          .textFrame = makeRect(22, 0, 39, 16),
          .fontSize = 11,
          .textColour = "white"};
}

platform::RenderDescription imageAlone(double side) {
  return {.form = platform::Form::stacked,
          .size = {side, side},
          .timerButtonFrame = makeRect(0, 0, side, side),
          .timerButtonCorners = {2, 2, 2, 2},
          .imageName = "PlayButton",
          .imageFitted = true,
          .trailingFrame = makeRect(0, 0, side, side),
          .trailingCorners = {2, 2, 2, 2},
          .trailingBackgroundColour = "StatusItemBackground",
          .text = "-:--",
          .textFrame = {},
          .fontSize = 0,
          .textColour = "white"};
}

// Points are in the cell; the image has the device pixel ratio's pixels per point.
TEST(ItemImage, IsTheCellWithTheItemCentredAndTransparentAroundIt) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "desktop-geometry-test";
  char* argv[] = {name, nullptr};
  const QGuiApplication application(argc, argv);
  const QColor segment = bundleColour("StatusItemBackground");
  const QColor artwork = bundleImage("PlayButton", 1).toImage().pixelColor(1, 1);
  const QColor clear(0, 0, 0, 0);
  struct Probe {
    QPointF point;
    QColor colour;
  };
  struct Case {
    const char* what;
    platform::RenderDescription description;
    QSize cell;
    qreal ratio;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      {"full row, centred in a higher cell",
       fullRow(),
       {63, 22},
       1,
       {{{0, 11}, clear}, {{30, 2}, clear}, {{30, 5}, segment}, {{3, 4}, artwork}}},
      {"the same at 2x", fullRow(), {63, 22}, 2, {{{0, 11}, clear}, {{30, 2}, clear}, {{30, 5}, segment}}},
      // Fitted into 36 x 36 the 20 x 16 artwork is 36 x 28.8 from y = 3.6: its own background reaches the
      // left and right edges, where the unscaled artwork would leave the segment's colour.
      {"image alone, fitted",
       imageAlone(36),
       {36, 36},
       1,
       {{{2, 18}, artwork}, {{33, 18}, artwork}, {{18, 2}, segment}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QImage image = renderItemImage(c.description, c.cell, c.ratio);
    EXPECT_EQ(image.size(), c.cell * c.ratio);
    for (const Probe& probe : c.probes) {
      EXPECT_EQ(image.pixelColor((probe.point * c.ratio).toPoint()), probe.colour)
          << "at " << probe.point.x() << ',' << probe.point.y();
    }
  }

  // At 2x the 2x artwork is drawn pixel for pixel: its glyph, away from the rounded corners, at the timer
  // button's place (2, 3) points into the cell. The 1x artwork enlarged would differ there.
  const QRect glyph(8, 4, 28, 24);
  const QImage doubled = renderItemImage(fullRow(), {63, 22}, 2).copy(glyph.translated(4, 6));
  const auto glyphOf = [&](double ratio) {
    const QImage image = bundleImage("PlayButton", ratio).toImage().convertToFormat(QImage::Format_ARGB32);
    return image.scaled(40, 32).copy(glyph);  // the 1x image doubled, pixel for pixel
  };
  EXPECT_TRUE(doubled == glyphOf(2));
  EXPECT_FALSE(doubled == glyphOf(1));
}

}  // namespace
}  // namespace pellmor::x11
