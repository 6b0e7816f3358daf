#pragma once

#include "Backends/BackendLayer.h"

#include "Platform/Geometry.h"

namespace pellmor::qt {

// A rectangle as X11 reports it: device pixels, origin at the top-left corner of the root window, y
// growing downwards.
struct PixelRect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// How X11's top-left pixel system maps onto the global system of points (origin at the bottom-left
// corner of the first screen, y growing upwards).
struct ScreenLayout {
  double devicePixelRatio = 1;   // device pixels per point
  double firstScreenBottom = 0;  // the first screen's bottom edge, in points from the root's top edge
  double firstScreenLeft = 0;    // the first screen's left edge, in points from the root's left edge
};

inline platform::Rect globalFromPixels(const PixelRect& pixels, const ScreenLayout& layout) {
  const double scale = layout.devicePixelRatio;
  const double top = pixels.y / scale;
  const double height = pixels.height / scale;
  return platform::makeRect(pixels.x / scale - layout.firstScreenLeft,
                            layout.firstScreenBottom - (top + height), pixels.width / scale, height);
}

// The same for rectangles already in points with a top-left origin (the screens).
inline platform::Rect globalFromTopLeftPoints(const platform::Rect& rect, const ScreenLayout& layout) {
  return platform::makeRect(rect.origin.x - layout.firstScreenLeft,
                            layout.firstScreenBottom - (rect.origin.y + rect.height()), rect.width(),
                            rect.height());
}

// From a view's own top-left coordinates, at offset (x, y) points inside a window of the given height,
// to the window's coordinates, whose origin is its bottom-left corner with y growing upwards.
inline platform::Rect windowFromView(const platform::Rect& rect, platform::Point viewOffset,
                                     double windowHeight) {
  return platform::makeRect(viewOffset.x + rect.origin.x,
                            windowHeight - (viewOffset.y + rect.origin.y + rect.height()), rect.width(),
                            rect.height());
}

// From a window's coordinates to global ones, given the window's global frame.
inline platform::Rect screenFromWindow(const platform::Rect& rect, const platform::Rect& windowFrame) {
  return platform::makeRect(windowFrame.origin.x + rect.origin.x, windowFrame.origin.y + rect.origin.y,
                            rect.size.width, rect.size.height);
}

}  // namespace pellmor::qt
