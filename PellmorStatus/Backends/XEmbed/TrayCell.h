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

// The part of a cell that a panel shows on a screen of `screen`'s size, in the cell's own coordinates,
// with the cell and its panel on the root window. Along the panel's length the screen's edges cut the
// cell off. Across the panel the whole cell counts while the panel lies within its own thickness of the
// screen: an auto-hiding panel slides out past the edge and shows the cell whole once it slides back
// in. A panel further off (a proxy's window parked outside the screen) shows nothing.
inline PixelRect partShownByPanel(PixelRect cell, PixelRect panel, PixelSize screen) {
  const bool horizontal = panel.width >= panel.height;
  const bool nearScreen = horizontal
                              ? panel.y + 2 * panel.height > 0 && panel.y < screen.height + panel.height
                              : panel.x + 2 * panel.width > 0 && panel.x < screen.width + panel.width;
  if (!nearScreen) return PixelRect{};
  if (horizontal)
    return visibleCell(PixelRect{cell.x, 0, cell.width, cell.height}, {screen.width, cell.height});
  return visibleCell(PixelRect{0, cell.y, cell.width, cell.height}, {cell.width, screen.height});
}

// Whether a cell (in pixels) shows the whole item row (in pixels) unsquashed.
inline bool cellGivesWidth(int cellWidth, int cellHeight, int rowWidth, int rowHeight) {
  // A tray that follows the item's width gives exactly that width (a pixel less or more is rounding);
  // a square cell, a proxy's fixed icon or a scaled thumbnail does not.
  const int widthDifference = cellWidth - rowWidth;
  return widthDifference >= -1 && widthDifference <= 1 && cellHeight >= rowHeight;
}

}  // namespace pellmor::xembed
