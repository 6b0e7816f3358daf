#pragma once

#include <cmath>

namespace pellmor::platform {

// Points, as 64-bit floats. Global screen rectangles use a bottom-left origin on the first screen with y
// growing upwards; view-local rectangles use the view's own origin.
struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  Point origin;
  Size size;

  // A rectangle's extent is the absolute value of its size fields.
  double width() const { return std::abs(size.width); }
  double height() const { return std::abs(size.height); }
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect makeRect(double x, double y, double width, double height) {
  return Rect{Point{x, y}, Size{width, height}};
}

}  // namespace pellmor::platform
