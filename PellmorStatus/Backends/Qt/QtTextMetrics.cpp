#include "Backends/Qt/QtTextMetrics.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <cmath>

namespace pellmor::qt {
namespace {

// The rectangle of pixels with any coverage, relative to `origin`; empty for a text with no ink.
platform::Rect coveredPixels(const QImage& image, QPoint origin) {
  int left = image.width(), right = -1, top = image.height(), bottom = -1;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(line[x]) == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < left) return {};
  return platform::makeRect(left - origin.x(), top - origin.y(), right - left + 1, bottom - top + 1);
}

platform::TextExtent measureByDrawing(const QString& text, int pixelSize, int stretch) {
  const QFont font = itemFont(pixelSize, stretch);
  const QFontMetricsF metrics(font);
  const double advance = metrics.horizontalAdvance(text);
  // Room for glyphs that reach past the advance or the line.
  const int margin = pixelSize + 2;
  const QPoint origin(margin, margin + static_cast<int>(std::ceil(metrics.ascent())));
  QImage image(static_cast<int>(std::ceil(advance)) + 2 * margin,
               static_cast<int>(std::ceil(metrics.ascent() + metrics.descent())) + 2 * margin,
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(origin, text);
  }
  return platform::TextExtent{.advance = advance,
                              .ascent = metrics.ascent(),
                              .descent = metrics.descent(),
                              .ink = coveredPixels(image, origin)};
}

}  // namespace

QFont itemFont(int pixelSize, int stretch) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(std::max(pixelSize, 1));
  // Qt takes the family's condensed face for a stretch it has and narrows the glyphs for any other.
  if (stretch != platform::normalStretch) font.setStretch(stretch);
  return font;
}

platform::TextExtent QtTextMetrics::measure(std::string_view text, int pixelSize, int stretch) const {
  const Key key{QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), pixelSize, stretch};
  if (const auto found = cache_.constFind(key); found != cache_.constEnd()) return *found;
  if (cache_.size() >= cacheLimit) cache_.clear();
  const platform::TextExtent extent = measureByDrawing(key.text, pixelSize, stretch);
  cache_.insert(key, extent);
  return extent;
}

}  // namespace pellmor::qt
