#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "Platform/Geometry.h"

namespace pellmor::platform {

// Per-corner radii of a rounded rectangle, drawn in the continuous corner style (the curvature blends
// into the straight edges instead of meeting them as a circular arc).
struct CornerRadii {
  double topLeading = 0;
  double bottomLeading = 0;
  double bottomTrailing = 0;
  double topTrailing = 0;
  friend bool operator==(const CornerRadii&, const CornerRadii&) = default;
};

// Which shape of the item a description draws.
enum class Form {
  full,        // the whole row, as wide as its content
  compactRow,  // the row in a cell narrower than itself: a narrower coloured segment, smaller text if need be
  stacked,     // a square cell: the timer button in a band above the coloured band with the text
  textOnly,    // a square cell: the text alone on the coloured background, broken at spaces onto lines
};

// One line of text, already cut to fit: drawn from `origin`, the left end of its baseline.
struct TextLine {
  std::string text;
  Point origin;
  friend bool operator==(const TextLine&, const TextLine&) = default;
};

// Everything a backend needs to draw the status item, in points, relative to the top-left corner of the
// content (y grows downwards). Images and colours are names from the resource bundle. The backend draws,
// in this order: the trailing background, the timer button (its background, then the image), the text
// lines and the marks; a frame with no area draws nothing.
struct RenderDescription {
  Form form = Form::full;
  Size size;  // the padded row, or the whole cell of a compact form; the host centres it in the cell

  Rect timerButtonFrame;
  CornerRadii timerButtonCorners;
  std::string timerButtonBackgroundColour;  // fills the button's shape where the image leaves it
  std::string imageName;
  Rect imageFrame;  // where the image is drawn (scaled to it), clipped to the timer button's shape

  Rect trailingFrame;
  CornerRadii trailingCorners;
  std::string trailingBackgroundColour;  // colour name filling trailingFrame

  std::string text;             // what the trailing segment shows, whole, as words and titles tell it
  std::vector<TextLine> lines;  // how the text is drawn
  std::vector<Rect> marks;      // filled bars: the placeholder where its hyphens would be hairlines
  double fontSize = 11;         // pixels of the item's logical size
  int fontStretch = 100;        // the glyphs' width in percent of the font's normal width
  std::string textColour;       // "white", for the lines and the marks
  // Points per unit of this description: 1, or less for a tile laid out on the device's pixels at a
  // pixel ratio that is not whole (StatusItemLayout.h).
  double scale = 1;

  friend bool operator==(const RenderDescription&, const RenderDescription&) = default;
};

// Where a description of `size` starts when centred in `cell` on whole units: rounded down, where a cell
// measured from pixels at a ratio that is not whole comes within rounding of a whole unit.
inline Point centringOffset(Size cell, Size size) {
  constexpr double rounding = 1e-6;
  return Point{std::floor((cell.width - size.width) / 2 + rounding),
               std::floor((cell.height - size.height) / 2 + rounding)};
}

enum class HitTarget { none, timerButton, trailingButton };

// One entry of the item's menu: its title, already translated, and the part whose action it runs.
struct MenuEntry {
  std::string title;
  HitTarget target = HitTarget::none;
  friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

}  // namespace pellmor::platform
