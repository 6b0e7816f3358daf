// The desktop backend's pure helpers: X11 pixels to global points, the continuous rounded rectangle, and
// the item drawn into an image.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainterPath>

#include "Backends/Qt/Artwork.h"
#include "Backends/Qt/ContinuousCorners.h"
#include "Backends/Qt/GlobalCoordinates.h"
#include "Backends/Qt/ItemPainter.h"

namespace pellmor::qt {
namespace {

using platform::makeRect;

TEST(GlobalCoordinates, FlipAboutTheFirstScreensBottomScaleAndShiftByItsLeftEdge) {
  EXPECT_EQ(globalFromPixels({2432, 2, 126, 44}, {2, 800}), makeRect(1216, 777, 63, 22)) << "2x halves";
  EXPECT_EQ(globalFromPixels({100, 0, 63, 24}, {1, 800, 1280}), makeRect(-1180, 776, 63, 24))
      << "an item on the screen left of the first";
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

// The row, 63 x 16 points, in a 63 x 22 cell: centred, 3 points down, with transparent padding.
TEST(ItemImage, IsTheRowCentredInTheCellWithTheArtworkOfItsPixelRatio) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "desktop-geometry-test";
  char* argv[] = {name, nullptr};
  const QGuiApplication application(argc, argv);
  platform::RenderDescription row;
  row.size = {63, 16};
  row.timerButtonFrame = makeRect(2, 0, 20, 16);
  row.imageName = "PlayButton";
  row.imageFrame = row.timerButtonFrame;
  row.trailingFrame = makeRect(22, 0, 39, 16);
  row.trailingBackgroundColour = "StatusItemBackground";
  for (const qreal ratio : {1.0, 2.0, 3.0}) {
    SCOPED_TRACE(ratio);
    const QImage image = renderItemImage(row, {63, 22}, ratio);
    const auto at = [&](int x, int y) { return image.pixelColor(QPoint(x, y) * ratio); };
    EXPECT_EQ(at(0, 11), QColor(Qt::transparent)) << "left of the row";
    EXPECT_EQ(at(30, 2), QColor(Qt::transparent)) << "above the row";
    EXPECT_EQ(at(30, 5), bundleColour("StatusItemBackground"));
  }

  // At 2x and 3x the artwork made for that density is drawn pixel for pixel: its glyph, away from the
  // rounded corners, at the timer button's place (2, 3) points into the cell. The 1x artwork enlarged
  // would differ there.
  for (const int ratio : {2, 3}) {
    SCOPED_TRACE(ratio);
    const QRect glyph(4 * ratio, 2 * ratio, 14 * ratio, 12 * ratio);
    const QImage drawn = renderItemImage(row, {63, 22}, ratio).copy(glyph.translated(2 * ratio, 3 * ratio));
    const auto glyphOf = [&](double density) {
      const QImage image =
          bundleImage("PlayButton", density).toImage().convertToFormat(QImage::Format_ARGB32);
      return image.scaled(20 * ratio, 16 * ratio).copy(glyph);  // enlarged pixel for pixel where need be
    };
    EXPECT_TRUE(drawn == glyphOf(ratio));
    EXPECT_FALSE(drawn == glyphOf(1));
  }
}

}  // namespace
}  // namespace pellmor::qt
