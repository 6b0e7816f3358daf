#pragma once

#include "Backends/BackendLayer.h"

#include <algorithm>
#include <cstdint>

// The tray's geometry as the X server reports it, in device pixels: plain values, no Qt, no xcb.
namespace pellmor::xembed {

using WindowId = std::uint32_t;

struct PixelSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The part of a window that its parent shows, in the window's own coordinates: the window at `window`
// (position in the parent, size) clipped by a parent of `parent`'s size. A tray may keep the window larger
// than the slot (polybar's tray window holds its icons at an offset), and the rest is cut off.
inline PixelRect visibleCell(PixelRect window, PixelSize parent) {
  const int left = std::max(0, -window.x);
  const int top = std::max(0, -window.y);
  const int right = std::min(window.width, parent.width - window.x);
  const int bottom = std::min(window.height, parent.height - window.y);
  if (right <= left || bottom <= top) return PixelRect{};
  return PixelRect{left, top, right - left, bottom - top};
}

// Whether a cell (in pixels) shows the whole item row (in pixels) unsquashed.
inline bool cellGivesWidth(int cellWidth, int cellHeight, int rowWidth, int rowHeight) {
  // A tray that follows the item's width gives exactly that width (a pixel less or more is rounding);
  // a square cell, a proxy's fixed icon or a scaled thumbnail does not.
  const int widthDifference = cellWidth - rowWidth;
  return widthDifference >= -1 && widthDifference <= 1 && cellHeight >= rowHeight;
}

}  // namespace pellmor::xembed
