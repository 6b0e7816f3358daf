#pragma once

#include "Platform/Drawing.h"
#include "Platform/Geometry.h"
#include "Platform/TextMetrics.h"
#include "StatusItemDisplay.h"

namespace pellmor {

// The padded row: 2 + 20 + 52 + 2 by 16 points while signed out, 2 + 20 + 39 + 2 by 16 otherwise.
platform::Size rowSizeFor(TrailingContent trailing);

// The whole row: the timer image unscaled in its 20 x 16 frame, the text at 11 pixels centred in the
// coloured segment (cut with an ellipsis where it is wider).
platform::RenderDescription layOutRow(const DisplayState& state, const platform::TextMetrics& metrics);

// The state laid out for a cell, in the form that shows its text largest for the cell's shape:
// - a row (a cell at least twice as wide as high) shows the whole row where it holds it, else the row
//   squeezed into it (a narrower coloured segment, a lower row, the text smaller but legible);
// - any other cell, or a row too small for that, is filled by a tile: the timer image in a band above the
//   text, as large as the tile allows (the placeholder drawn as bars), or, signed out, the words alone,
//   broken at a space where that makes them larger; the image alone where no text fits.
// Every edge is on a whole point, so the item stays sharp at whole device pixel ratios. At a ratio that is
// not whole (1.5 where the fonts are set to 144 dpi while the tray keeps its icons at 22 pixels), a tile
// is laid out on the device's pixels at the whole ratio below, as for a tray of those pixels at that
// ratio: its `scale` is that ratio over the device's, and it is as sharp and as legible as there.
platform::RenderDescription layOut(const DisplayState& state, platform::Size cell,
                                   const platform::TextMetrics& metrics, double pixelRatio = 1);

// What lies under a point in the cell's coordinates (points), for a description laid out for that cell and
// centred in it (rounded down to whole units of the description, as the painter draws it).
platform::HitTarget targetAt(const platform::RenderDescription& description, platform::Point point,
                             platform::Size cell);

}  // namespace pellmor
