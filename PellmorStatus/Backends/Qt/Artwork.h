#pragma once

#include "Backends/BackendLayer.h"

#include <QColor>
#include <QPixmap>
#include <string>

namespace pellmor::qt {

// The program's resource bundle (compiled in with qt_add_resources): images at 1x, 2x, 3x, 4x and 6x, and
// colours.

// The image with this name in the variant for drawing it at `pixelsPerPoint` (the device pixel ratio
// times the scale it is drawn at): the least that needs no enlarging, else the largest. Its device pixel
// ratio is that variant's, so it is drawn at its size in points; null when the bundle has no such image.
QPixmap bundleImage(const std::string& name, double pixelsPerPoint);

// The colour with this name: "white", or one from the bundle; invalid when unknown.
QColor bundleColour(const std::string& name);

}  // namespace pellmor::qt
