#pragma once

#include <string_view>

#include "Platform/Geometry.h"

namespace pellmor::platform {

// What one line of text takes in the item's font (the system font at the default weight), at a size in
// pixels of the item's logical size. Distances are from the line's origin: the left end of its baseline,
// y growing downwards.
struct TextExtent {
  double advance = 0;  // where the next text would start
  double ascent = 0;   // the font's line above the baseline
  double descent = 0;  // and below it
  Rect ink;            // the pixels the glyphs cover, drawn with the origin on a whole pixel
  friend bool operator==(const TextExtent&, const TextExtent&) = default;
};

// How wide the font's glyphs are, in percent of its normal width: condensed is the width of a condensed
// face (DejaVu Sans Condensed, the system font's where it has one; others are narrowed to it).
constexpr int normalStretch = 100;
constexpr int condensedStretch = 75;

// Measures text for the layout, so that the forms are chosen and placed with the metrics the backend
// draws with. Called on the main thread.
class TextMetrics {
 public:
  virtual ~TextMetrics() = default;
  virtual TextExtent measure(std::string_view text, int pixelSize, int stretch) const = 0;
  TextExtent measure(std::string_view text, int pixelSize) const {
    return measure(text, pixelSize, normalStretch);
  }
};

}  // namespace pellmor::platform
