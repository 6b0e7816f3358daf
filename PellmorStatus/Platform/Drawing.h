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

// Everything a backend needs to draw the status item, in points, relative to the top-left corner of the
// content row (y grows downwards). Images and colours are names from the resource bundle.
struct RenderDescription {
  Size size;  // the padded row; the host centres it in its own frame

  Rect timerButtonFrame;
  CornerRadii timerButtonCorners;
  std::string imageName;  // drawn unscaled, centred in timerButtonFrame, clipped to its rounded shape

  Rect trailingFrame;
  CornerRadii trailingCorners;
  std::string trailingBackgroundColour;  // colour name filling trailingFrame

  std::string text;  // shown verbatim
  Rect textFrame;    // the text is centred in it; a text wider than the frame is cut with an ellipsis
  double fontSize = 11;
  std::string textColour;  // "white"

  friend bool operator==(const RenderDescription&, const RenderDescription&) = default;
};

enum class HitTarget { none, timerButton, trailingButton };

}  // namespace pellmor::platform
