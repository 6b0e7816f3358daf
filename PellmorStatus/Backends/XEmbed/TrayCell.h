#pragma once

#include "Backends/BackendLayer.h"

namespace pellmor::xembed {

// Whether a cell (in pixels) shows the whole item row (in pixels) unsquashed.
inline bool cellGivesWidth(int cellWidth, int cellHeight, int rowWidth, int rowHeight) {
  // A tray that follows the item's width gives exactly that width (a pixel less or more is rounding);
  // a square cell, a proxy's fixed icon or a scaled thumbnail does not.
  const int widthDifference = cellWidth - rowWidth;
  return widthDifference >= -1 && widthDifference <= 1 && cellHeight >= rowHeight;
}

}  // namespace pellmor::xembed
