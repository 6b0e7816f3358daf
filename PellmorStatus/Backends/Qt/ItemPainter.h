#pragma once

#include "Backends/BackendLayer.h"

#include <QImage>
#include <QSize>
#include <vector>

#include "Platform/Drawing.h"

class QPainter;

namespace pellmor::qt {

// The one painter of the status item: draws a render description centred in a cell of the given size in
// points (on whole units of the description, as the content's hit test expects), on whatever the painter
// paints (the tray widget, or an image for another host). The artwork is taken at the density the device
// pixel ratio and the description's scale need.
void paintItem(QPainter& painter, const platform::RenderDescription& description, QSizeF cell,
               qreal devicePixelRatio);

// The cell, transparent, with the description drawn in it exactly as the tray widget draws it: ARGB32 of
// cell × devicePixelRatio pixels, with that ratio set.
QImage renderItemImage(const platform::RenderDescription& description, QSize cell, qreal devicePixelRatio);

// Several such images at once, in the order asked: what a bus host may pick from after one change.
struct ItemImageRequest {
  platform::RenderDescription description;
  QSize cell;
  qreal devicePixelRatio = 1;
};
std::vector<QImage> renderItemImages(const std::vector<ItemImageRequest>& requests);

}  // namespace pellmor::qt
