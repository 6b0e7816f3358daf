#pragma once

#include <string>

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
  compactRow,  // the row squeezed into a narrower cell: smaller text in a narrower coloured segment
  stacked,     // a small cell: the timer image above the text, or one of them alone
};

// Everything a backend needs to draw the status item, in points, relative to the top-left corner of the
// content (y grows downwards). Images and colours are names from the resource bundle. The backend draws,
// in this order: the trailing background, the image, the text; a frame with no area draws nothing.
struct RenderDescription {
  Form form = Form::full;
  Size size;  // the padded row, or the whole cell of a compact form; the host centres it in the cell

  Rect timerButtonFrame;
  CornerRadii timerButtonCorners;
  std::string imageName;     // centred in timerButtonFrame, clipped to its rounded shape
  bool imageFitted = false;  // scaled to fit timerButtonFrame, keeping its proportions; otherwise unscaled

  Rect trailingFrame;
  CornerRadii trailingCorners;
  std::string trailingBackgroundColour;  // colour name filling trailingFrame

  std::string text;        // shown verbatim
  Rect textFrame;          // the text is centred in it; a text wider than the frame is cut with an ellipsis
  bool textWraps = false;  // broken at spaces onto further lines rather than cut
  double fontSize = 11;    // pixels of the item's logical size
  std::string textColour;  // "white"

  friend bool operator==(const RenderDescription&, const RenderDescription&) = default;
};

enum class HitTarget { none, timerButton, trailingButton };

// One entry of the item's menu: its title, already translated, and the part whose action it runs.
struct MenuEntry {
  std::string title;
  HitTarget target = HitTarget::none;
  friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

}  // namespace pellmor::platform
