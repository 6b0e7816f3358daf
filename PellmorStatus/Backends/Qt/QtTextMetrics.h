#pragma once

#include "Backends/BackendLayer.h"

#include <QFont>
#include <QHash>
#include <QString>

#include "Platform/TextMetrics.h"

namespace pellmor::qt {

// The item's font: the system font at the default weight, sized in pixels of the item's logical size, its
// glyphs at a width in percent of the normal one.
QFont itemFont(int pixelSize, int stretch = platform::normalStretch);

// The item font's metrics. The ink is found by drawing the text as the painter does and reading which
// pixels it covered, since the font's own glyph boxes are rounded outwards and overstate it by a pixel.
class QtTextMetrics final : public platform::TextMetrics {
 public:
  using platform::TextMetrics::measure;
  platform::TextExtent measure(std::string_view text, int pixelSize, int stretch) const override;

 private:
  // The layout asks for the same few texts at a few sizes over and over; a new total comes once a
  // minute. Bounded: emptied when full.
  static constexpr qsizetype cacheLimit = 512;
  struct Key {
    QString text;
    int pixelSize;
    int stretch;
    friend bool operator==(const Key&, const Key&) = default;
    friend size_t qHash(const Key& key, size_t seed) {
      return qHashMulti(seed, key.text, key.pixelSize, key.stretch);
    }
  };
  mutable QHash<Key, platform::TextExtent> cache_;
};

}  // namespace pellmor::qt
