#pragma once

#include "Backends/BackendLayer.h"

#include "Platform/TextMetrics.h"

namespace pellmor {

// The metrics of a notional fixed-pitch font, for a machine without a display and for tests: every
// character advances 0.6 em; the line is 0.8 em above the baseline and 0.2 em below; the ink fills the
// advance, from 0.7 em above the baseline down to it, in whole pixels. A stretch narrows the advance.
class FixedTextMetrics final : public platform::TextMetrics {
 public:
  static constexpr double advancePerCharacter = 0.6;
  static constexpr double inkHeight = 0.7;

  using platform::TextMetrics::measure;
  platform::TextExtent measure(std::string_view text, int pixelSize, int stretch) const override;
};

}  // namespace pellmor
