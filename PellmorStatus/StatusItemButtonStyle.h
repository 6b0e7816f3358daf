#pragma once

#include "Platform/Geometry.h"

namespace pellmor {

// The look of both buttons of the status item: nothing but the button's label, no bezel, no highlight,
// no change while pressed.
struct StatusItemButtonStyle {
  struct Configuration {
    platform::Size labelSize;  // the label's own size
    bool isPressed = false;    // not read: a pressed button looks like a released one
  };

  // What the button draws, in the button's coordinates: its label alone, centred in a frame that keeps
  // the label's width and takes the full height given.
  struct Body {
    platform::Rect frame;
    platform::Rect label;
    friend bool operator==(const Body&, const Body&) = default;
  };

  Body makeBody(const Configuration& configuration, double availableHeight) const;
};

}  // namespace pellmor
