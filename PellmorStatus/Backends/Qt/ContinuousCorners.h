#pragma once

#include "Backends/BackendLayer.h"

#include <QPainterPath>
#include <QRectF>

#include "Platform/Drawing.h"

namespace pellmor::qt {

// A rounded rectangle in the continuous corner style: each corner is one cubic curve that starts further
// along the edges than a circular arc of the same radius would, so the curvature eases into the straight
// edges instead of jumping. Leading is left (left-to-right layout).
QPainterPath continuousRoundedRect(const QRectF& rect, const platform::CornerRadii& radii);

}  // namespace pellmor::qt
