#pragma once

#include "Backends/BackendLayer.h"

#include <QColor>
#include <QPixmap>
#include <string>

namespace pellmor::qt {

// The program's resource bundle (compiled in with qt_add_resources): images at 1x and 2x, and colours.

// The image with this name, in the variant that suits the device pixel ratio, with that ratio set so it
// is drawn at its size in points; null when the bundle has no such image.
QPixmap bundleImage(const std::string& name, double devicePixelRatio);

// The colour with this name: "white", or one from the bundle; invalid when unknown.
QColor bundleColour(const std::string& name);

}  // namespace pellmor::qt
