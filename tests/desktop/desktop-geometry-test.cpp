// The desktop backend's pure helpers: X11 pixels to global points, window and screen conversions, the
// continuous rounded rectangle, and the item drawn into an image.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainterPath>
#include <memory>
#include <string>
#include <vector>

#include "Backends/X11/Artwork.h"
#include "Backends/X11/ContinuousCorners.h"
#include "Backends/X11/GlobalCoordinates.h"
#include "Backends/X11/ItemPainter.h"

namespace pellmor::x11 {
namespace {

using platform::makeRect;
using platform::Rect;

struct PixelCase {
  const char* what;
  PixelRect pixels;
  ScreenLayout layout;
  Rect expected;
};

TEST(GlobalFromPixels, FlipsAboutTheFirstScreensBottomAndScales) {
  const PixelCase cases[] = {
      {"panel at the top of an 800 high screen", {1215, 0, 65, 24}, {1, 800}, makeRect(1215, 776, 65, 24)},
      {"2x screen: pixels halve", {2432, 2, 126, 44}, {2, 800}, makeRect(1216, 777, 63, 22)},
      {"fractional ratio keeps the fraction", {3, 0, 5, 3}, {2, 100}, makeRect(1.5, 98.5, 2.5, 1.5)},
      {"second screen below the first", {0, 900, 100, 24}, {1, 800}, makeRect(0, -124, 100, 24)},
      {"first screen right of another", {1500, 0, 63, 24}, {1, 800, 1280}, makeRect(220, 776, 63, 24)},
      {"item on the screen left of the first",
       {100, 0, 63, 24},
       {1, 800, 1280},
       makeRect(-1180, 776, 63, 24)},
  };
  for (const PixelCase& c : cases) {
    EXPECT_EQ(globalFromPixels(c.pixels, c.layout), c.expected) << c.what;
  }
}

TEST(GlobalFromTopLeftPoints, ScreensBelowAndBesideTheFirst) {
  struct Case {
    Rect topLeft;
    ScreenLayout firstScreen;
    Rect expected;
  } const cases[] = {
      {makeRect(1280, 0, 1920, 1080), {1, 800}, makeRect(1280, -280, 1920, 1080)},
      {makeRect(0, 800, 1024, 768), {1, 800}, makeRect(0, -768, 1024, 768)},
      {makeRect(1280, 0, 1280, 800), {1, 800, 1280}, makeRect(0, 0, 1280, 800)},
      {makeRect(0, 0, 1280, 1024), {1, 800, 1280}, makeRect(-1280, -224, 1280, 1024)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(globalFromTopLeftPoints(c.topLeft, c.firstScreen), c.expected);
}

TEST(WindowAndScreenConversion, ButtonBoundsReachTheScreenAtTheButtonsPlace) {
  struct Case {
    const char* what;
    platform::Point offset;  // the button inside its window, top-left
    double windowHeight;
    Rect windowFrame;  // global
    Rect expected;     // the button's bounds on screen
  } const cases[] = {
      {"item 1 in from the panel's corner",
       {1, 1},
       24,
       makeRect(1215, 776, 65, 24),
       makeRect(1216, 777, 63, 22)},
      {"item further down a tall panel", {4, 10}, 40, makeRect(0, 0, 80, 40), makeRect(4, 8, 63, 22)},
  };
  for (const Case& c : cases) {
    const Rect inWindow = windowFromView(makeRect(0, 0, 63, 22), c.offset, c.windowHeight);
    EXPECT_EQ(screenFromWindow(inWindow, c.windowFrame), c.expected) << c.what;
  }
}

// Only the corners with a radius are cut, and each eases in further than a circular arc of that radius:
// the arc has reached the edges 2 from the corner, the continuous curve still cuts away what it keeps.
TEST(ContinuousRoundedRect, RoundsOnlyItsCornersEasingInFurtherThanAnArc) {
  const QRectF frame(0, 0, 40, 16);
  const QPainterPath path = continuousRoundedRect(frame, {.topLeading = 2, .bottomLeading = 2});
  QPainterPath circular;
  circular.addRoundedRect(frame, 2, 2);
  struct Case {
    QPointF point;
    bool inside;
  } const cases[] = {
      {{0.2, 15.8}, false},  // cut off: bottom-left corner
      {{39.9, 0.1}, true},   // square: top-right corner
      {{39.9, 15.9}, true},  // square: bottom-right corner
      {{1.2, 1.2}, true},    // inside the curve
  };
  for (const Case& c : cases)
    EXPECT_EQ(path.contains(c.point), c.inside) << c.point.x() << "," << c.point.y();
  for (const QPointF point : {QPointF(1.5, 0.1), QPointF(0.1, 1.5), QPointF(2.4, 0.01)}) {
    EXPECT_TRUE(circular.contains(point)) << point.x() << "," << point.y();
    EXPECT_FALSE(path.contains(point)) << point.x() << "," << point.y();
  }
  EXPECT_EQ(path.boundingRect(), frame);
}

class Bundle : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "desktop-geometry-test";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QGuiApplication>(argc, argv);
  }
  static void TearDownTestSuite() { application_.reset(); }
  static inline std::unique_ptr<QGuiApplication> application_;
};

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
TEST_F(Bundle, ItemImageIsTheCellWithTheItemCentredAndTransparentAroundIt) {
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
       {{{0, 11}, clear}, {{30, 2}, clear}, {{30, 5}, segment}, {{3, 4}, artwork}, {{62, 21}, clear}}},
      {"the same at 2x", fullRow(), {63, 22}, 2, {{{0, 11}, clear}, {{30, 5}, segment}, {{62, 21}, clear}}},
      // The 20 x 16 artwork fitted into 18 x 18 is 18 x 14.4, centred: the background shows above it.
      {"image alone, fitted", imageAlone(18), {18, 18}, 1, {{{9, 0}, segment}, {{9, 17}, segment}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QImage image = renderItemImage(c.description, c.cell, c.ratio);
    EXPECT_EQ(image.format(), QImage::Format_ARGB32);
    EXPECT_EQ(image.size(), c.cell * c.ratio);
    EXPECT_EQ(image.devicePixelRatio(), c.ratio);
    for (const Probe& probe : c.probes) {
      const QPoint pixel = (probe.point * c.ratio).toPoint();
      EXPECT_EQ(image.pixelColor(pixel), probe.colour) << "at " << probe.point.x() << ',' << probe.point.y();
    }
  }
  // Fitted into 36 x 36 the artwork is 36 x 28.8 from y = 3.6: its own background reaches the left edge,
  // where the unscaled artwork (20 x 16 in the middle) would leave the segment's colour.
  const QImage fitted = renderItemImage(imageAlone(36), {36, 36}, 1);
  EXPECT_EQ(fitted.pixelColor(2, 18), artwork);
  EXPECT_EQ(fitted.pixelColor(33, 18), artwork);
  EXPECT_EQ(fitted.pixelColor(18, 2), segment);

  // At 2x the 2x artwork is drawn pixel for pixel: its glyph, away from the rounded corners, at the timer
  // button's place (2, 3) points into the cell. The 1x artwork enlarged would differ there.
  const QRect glyph(8, 4, 28, 24);
  const QImage doubled = renderItemImage(fullRow(), {63, 22}, 2).copy(glyph.translated(4, 6));
  const auto glyphOf = [&](double ratio) {
    const QImage artwork = bundleImage("PlayButton", ratio).toImage().convertToFormat(QImage::Format_ARGB32);
    return artwork.scaled(40, 32).copy(glyph);  // the 1x image doubled, pixel for pixel
  };
  EXPECT_TRUE(doubled == glyphOf(2));
  EXPECT_FALSE(doubled == glyphOf(1));
}

}  // namespace
}  // namespace pellmor::x11
