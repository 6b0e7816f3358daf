#include "Backends/Qt/ItemPainter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

#include "Backends/Qt/Artwork.h"
#include "Backends/Qt/ContinuousCorners.h"

namespace pellmor::qt {
namespace {

QRectF qtRect(const platform::Rect& rect) {
  return QRectF(rect.origin.x, rect.origin.y, rect.width(), rect.height());
}

bool isEmpty(const platform::Rect& rect) {
  return rect.width() <= 0 || rect.height() <= 0;
}

// The image's size in the frame: its own, or scaled to fit with its proportions kept.
QSizeF imageSizeIn(const QRectF& frame, const QPixmap& image, bool fitted) {
  const QSizeF size = image.deviceIndependentSize();
  if (!fitted) return size;
  return size.scaled(frame.size(), Qt::KeepAspectRatio);
}

// The image centred in the frame and clipped to its rounded shape with smooth edges.
void drawClippedImage(QPainter& painter, const QRectF& frame, const platform::CornerRadii& corners,
                      const QPixmap& image, bool fitted, qreal devicePixelRatio) {
  const QSize pixels(static_cast<int>(std::ceil(frame.width() * devicePixelRatio)),
                     static_cast<int>(std::ceil(frame.height() * devicePixelRatio)));
  QImage layer(pixels, QImage::Format_ARGB32_Premultiplied);
  layer.setDevicePixelRatio(devicePixelRatio);
  layer.fill(Qt::transparent);
  {
    QPainter shape(&layer);
    shape.setRenderHint(QPainter::Antialiasing);
    const QSizeF size = imageSizeIn(frame, image, fitted);
    const QPointF topLeft((frame.width() - size.width()) / 2, (frame.height() - size.height()) / 2);
    QPainterPath outline = continuousRoundedRect(QRectF(QPointF(0, 0), frame.size()), corners);
    // A fitted image may leave part of the frame uncovered; the shape stops where the image does.
    if (fitted) {
      QPainterPath imageArea;
      imageArea.addRect(QRectF(topLeft, size));
      outline = outline.intersected(imageArea);
    }
    shape.fillPath(outline, Qt::black);
    shape.setCompositionMode(QPainter::CompositionMode_SourceIn);
    if (fitted) {
      shape.setRenderHint(QPainter::SmoothPixmapTransform);
      shape.drawPixmap(QRectF(topLeft, size), image, QRectF(QPointF(0, 0), image.size()));
    } else {
      shape.drawPixmap(topLeft, image);
    }
  }
  painter.drawImage(frame.topLeft(), layer);
}

void drawTimerButton(QPainter& painter, const platform::RenderDescription& description, qreal ratio) {
  if (isEmpty(description.timerButtonFrame)) return;
  const QPixmap image = bundleImage(description.imageName, ratio);
  if (image.isNull()) return;
  drawClippedImage(painter, qtRect(description.timerButtonFrame), description.timerButtonCorners, image,
                   description.imageFitted, ratio);
}

void drawTrailingSegment(QPainter& painter, const platform::RenderDescription& description) {
  if (isEmpty(description.trailingFrame)) return;
  painter.fillPath(continuousRoundedRect(qtRect(description.trailingFrame), description.trailingCorners),
                   bundleColour(description.trailingBackgroundColour));
}

void drawText(QPainter& painter, const platform::RenderDescription& description) {
  const int pixelSize = static_cast<int>(std::lround(description.fontSize));
  if (isEmpty(description.textFrame) || pixelSize <= 0) return;
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  // The layout's points are the item's logical pixels, so the text size is given in them too.
  font.setPixelSize(pixelSize);
  painter.setFont(font);
  painter.setPen(bundleColour(description.textColour));
  const QRectF frame = qtRect(description.textFrame);
  const QString text = QString::fromStdString(description.text);
  if (description.textWraps) {
    painter.drawText(frame, Qt::AlignCenter | Qt::TextWordWrap, text);
    return;
  }
  painter.drawText(frame, Qt::AlignCenter,
                   QFontMetricsF(font).elidedText(text, Qt::ElideRight, frame.width()));
}

}  // namespace

void paintItem(QPainter& painter, const platform::RenderDescription& description, QSizeF cell,
               qreal devicePixelRatio) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate((cell.width() - description.size.width) / 2,
                    (cell.height() - description.size.height) / 2);
  drawTrailingSegment(painter, description);
  drawTimerButton(painter, description, devicePixelRatio);
  drawText(painter, description);
  painter.restore();
}

QImage renderItemImage(const platform::RenderDescription& description, QSize cell, qreal devicePixelRatio) {
  QImage image(QSize(static_cast<int>(std::ceil(cell.width() * devicePixelRatio)),
                     static_cast<int>(std::ceil(cell.height() * devicePixelRatio))),
               QImage::Format_ARGB32);
  image.setDevicePixelRatio(devicePixelRatio);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  paintItem(painter, description, QSizeF(cell), devicePixelRatio);
  return image;
}

}  // namespace pellmor::qt
