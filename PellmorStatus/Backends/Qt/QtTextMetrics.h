#pragma once

#include "Backends/BackendLayer.h"

#include <QFont>
#include <QHash>
#include <QPair>
#include <QString>

#include "Platform/TextMetrics.h"

namespace pellmor::qt {

// The item's font: the system font at the default weight, sized in pixels of the item's logical size.
QFont itemFont(int pixelSize);

// The item font's metrics. The ink is found by drawing the text as the painter does and reading which
// pixels it covered, since the font's own glyph boxes are rounded outwards and overstate it by a pixel.
class QtTextMetrics final : public platform::TextMetrics {
 public:
  platform::TextExtent measure(std::string_view text, int pixelSize) const override;

 private:
  // The layout asks for the same few texts at a few sizes over and over; a new total comes once a
  // minute. Bounded: emptied when full.
  static constexpr qsizetype cacheLimit = 512;
  mutable QHash<QPair<QString, int>, platform::TextExtent> cache_;
};

}  // namespace pellmor::qt
