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

  // The label's frame inside a button whose height is availableHeight: the label keeps its own width,
  // its frame takes the full height, and the label is centred in it.
  platform::Rect makeBody(const Configuration& configuration, double availableHeight) const;
};

}  // namespace pellmor
