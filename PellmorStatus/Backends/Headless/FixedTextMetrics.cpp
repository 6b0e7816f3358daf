#include "Backends/Headless/FixedTextMetrics.h"

#include <algorithm>
#include <cmath>

namespace pellmor {

platform::TextExtent FixedTextMetrics::measure(std::string_view text, int pixelSize, int stretch) const {
  // UTF-8 continuation bytes (10xxxxxx) start no character.
  const auto characters = std::count_if(
      text.begin(), text.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; });
  const double size = pixelSize;
  const double advance = static_cast<double>(characters) * advancePerCharacter * size * stretch / 100;
  const double inkTop = std::round(inkHeight * size);
  return platform::TextExtent{.advance = advance,
                              .ascent = 0.8 * size,
                              .descent = 0.2 * size,
                              .ink = platform::makeRect(0, -inkTop, std::ceil(advance), inkTop)};
}

}  // namespace pellmor
