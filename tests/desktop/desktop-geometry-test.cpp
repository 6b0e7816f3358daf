// The desktop backend's pure helpers: X11 pixels to global points, window and screen conversions, the
// continuous rounded rectangle.

#include <gtest/gtest.h>

#include <QPainterPath>

#include "Backends/X11/ContinuousCorners.h"
#include "Backends/X11/GlobalCoordinates.h"

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
      {"window 56 below the top of 1080", {1500, 56, 63, 24}, {1, 1080}, makeRect(1500, 1000, 63, 24)},
      {"2x screen: pixels halve", {2432, 2, 126, 44}, {2, 800}, makeRect(1216, 777, 63, 22)},
      {"fractional ratio keeps the fraction", {3, 0, 5, 3}, {2, 100}, makeRect(1.5, 98.5, 2.5, 1.5)},
      {"second screen below the first", {0, 900, 100, 24}, {1, 800}, makeRect(0, -124, 100, 24)},
  };
  for (const PixelCase& c : cases) {
    EXPECT_EQ(globalFromPixels(c.pixels, c.layout), c.expected) << c.what;
  }
}

TEST(GlobalFromTopLeftPoints, ScreensBelowAndBesideTheFirst) {
  struct Case {
    Rect topLeft;
    Rect expected;
  } const cases[] = {
      {makeRect(0, 0, 1280, 800), makeRect(0, 0, 1280, 800)},
      {makeRect(1280, 0, 1920, 1080), makeRect(1280, -280, 1920, 1080)},
      {makeRect(0, 800, 1024, 768), makeRect(0, -768, 1024, 768)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(globalFromTopLeftPoints(c.topLeft, 800), c.expected);
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
      {"item at the panel's origin", {0, 0}, 22, makeRect(100, 500, 63, 22), makeRect(100, 500, 63, 22)},
      {"item further down a tall panel", {4, 10}, 40, makeRect(0, 0, 80, 40), makeRect(4, 8, 63, 22)},
  };
  for (const Case& c : cases) {
    const Rect inWindow = windowFromView(makeRect(0, 0, 63, 22), c.offset, c.windowHeight);
    EXPECT_EQ(screenFromWindow(inWindow, c.windowFrame), c.expected) << c.what;
  }
}

TEST(ContinuousRoundedRect, RoundsOnlyTheCornersThatHaveARadius) {
  const QRectF frame(0, 0, 20, 16);
  const QPainterPath leading = continuousRoundedRect(frame, {.topLeading = 2, .bottomLeading = 2});
  struct Case {
    QPointF point;
    bool inside;
  } const cases[] = {
      {{0.2, 0.2}, false},   // cut off: top-left corner
      {{0.2, 15.8}, false},  // cut off: bottom-left corner
      {{19.9, 0.1}, true},   // square: top-right corner
      {{19.9, 15.9}, true},  // square: bottom-right corner
      {{0.1, 8}, true},      // the straight left edge
      {{10, 0.1}, true},     // the straight top edge
      {{1.2, 1.2}, true},    // inside the curve
      {{20.5, 8}, false},    // beyond the frame
  };
  for (const Case& c : cases) {
    EXPECT_EQ(leading.contains(c.point), c.inside) << c.point.x() << "," << c.point.y();
  }
}

TEST(ContinuousRoundedRect, EasesInFurtherThanACircularArc) {
  // A circular corner of radius 2 has reached the edges at 2 from the corner; the continuous one is still
  // curving there, so near the edges it cuts away what the arc keeps.
  const QRectF frame(0, 0, 40, 16);
  const QPainterPath continuous = continuousRoundedRect(frame, {.topLeading = 2});
  QPainterPath circular;
  circular.addRoundedRect(frame, 2, 2);
  for (const QPointF point : {QPointF(1.5, 0.1), QPointF(0.1, 1.5), QPointF(2.4, 0.01)}) {
    EXPECT_TRUE(circular.contains(point)) << point.x() << "," << point.y();
    EXPECT_FALSE(continuous.contains(point)) << point.x() << "," << point.y();
  }
  EXPECT_EQ(continuous.boundingRect(), frame);
}

}  // namespace
}  // namespace pellmor::x11
