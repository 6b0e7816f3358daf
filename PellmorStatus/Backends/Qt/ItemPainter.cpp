#include "Backends/Qt/ItemPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QThreadPool>
#include <cmath>
#include <future>

#include "Backends/Qt/Artwork.h"
#include "Backends/Qt/ContinuousCorners.h"
#include "Backends/Qt/QtTextMetrics.h"

namespace pellmor::qt {
namespace {

// Qt hands a task to a pool thread under its own locks, which ThreadSanitizer cannot see (Qt is not built
// for it): the hand-over is told to it, so what the task reads of the caller's is known to come after.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
void handOver(void* address) {
  __tsan_release(address);
}
void takeOver(void* address) {
  __tsan_acquire(address);
}
#else
void handOver(void*) {}
void takeOver(void*) {}
#endif

constexpr double artWidth = 20;  // points; the artwork is 20 x 16

QRectF qtRect(const platform::Rect& rect) {
  return QRectF(rect.origin.x, rect.origin.y, rect.width(), rect.height());
}

bool isEmpty(const platform::Rect& rect) {
  return rect.width() <= 0 || rect.height() <= 0;
}

QSize devicePixels(QSizeF size, qreal ratio) {
  return QSize(static_cast<int>(std::ceil(size.width() * ratio - 1e-6)),
               static_cast<int>(std::ceil(size.height() * ratio - 1e-6)));
}

// The artwork at exactly `size` points on a device of `ratio`: the variant drawn for that density as it
// is, otherwise the next larger one scaled down with area averaging (drawing it scaled would sample it).
QImage artworkAt(const std::string& name, QSizeF size, qreal ratio) {
  const QPixmap variant = bundleImage(name, ratio * size.width() / artWidth);
  if (variant.isNull()) return {};
  QImage image = variant.toImage();
  const QSize pixels = devicePixels(size, ratio);
  if (image.size() != pixels) image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  image.setDevicePixelRatio(ratio);
  return image;
}

// The timer button: its shape filled with its background, then the image over it, clipped to the shape
// with smooth edges. Drawn into a layer of its own so that the clip's edge is antialiased.
void drawTimerButton(QPainter& painter, const platform::RenderDescription& description, qreal ratio) {
  const QRectF frame = qtRect(description.timerButtonFrame);
  if (isEmpty(description.timerButtonFrame)) return;
  QImage layer(devicePixels(frame.size(), ratio), QImage::Format_ARGB32_Premultiplied);
  layer.setDevicePixelRatio(ratio);
  layer.fill(Qt::transparent);
  {
    QPainter shape(&layer);
    shape.setRenderHint(QPainter::Antialiasing);
    const QColor background = bundleColour(description.timerButtonBackgroundColour);
    shape.fillPath(continuousRoundedRect(QRectF(QPointF(0, 0), frame.size()), description.timerButtonCorners),
                   background.isValid() ? background : QColor(Qt::black));
    shape.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    const QRectF image = qtRect(description.imageFrame).translated(-frame.topLeft());
    const QImage artwork = artworkAt(description.imageName, image.size(), ratio);
    if (!artwork.isNull()) shape.drawImage(image.topLeft(), artwork);
  }
  painter.drawImage(frame.topLeft(), layer);
}

void drawTrailingSegment(QPainter& painter, const platform::RenderDescription& description) {
  if (isEmpty(description.trailingFrame)) return;
  painter.fillPath(continuousRoundedRect(qtRect(description.trailingFrame), description.trailingCorners),
                   bundleColour(description.trailingBackgroundColour));
}

void drawText(QPainter& painter, const platform::RenderDescription& description) {
  const QColor colour = bundleColour(description.textColour);
  for (const platform::Rect& mark : description.marks)
    painter.fillRect(qtRect(mark), colour);
  const int pixelSize = static_cast<int>(std::lround(description.fontSize));
  if (description.lines.empty() || pixelSize <= 0) return;
  painter.setFont(itemFont(pixelSize, description.fontStretch));
  painter.setPen(colour);
  for (const platform::TextLine& line : description.lines)
    painter.drawText(QPointF(line.origin.x, line.origin.y), QString::fromStdString(line.text));
}

}  // namespace

void paintItem(QPainter& painter, const platform::RenderDescription& description, QSizeF cell,
               qreal devicePixelRatio) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  // In the description's units (a tile laid out on the device's pixels has its own), centred on whole
  // ones, as the content's hit test places it, so that edges stay on pixels.
  const qreal scale = description.scale;
  painter.scale(scale, scale);
  const platform::Point offset =
      platform::centringOffset(platform::Size{cell.width() / scale, cell.height() / scale}, description.size);
  painter.translate(offset.x, offset.y);
  drawTrailingSegment(painter, description);
  drawTimerButton(painter, description, devicePixelRatio * scale);
  drawText(painter, description);
  painter.restore();
}

namespace {

QImage renderOnThisThread(const platform::RenderDescription& description, QSize cell,
                          qreal devicePixelRatio) {
  QImage image(devicePixels(QSizeF(cell), devicePixelRatio), QImage::Format_ARGB32);
  image.setDevicePixelRatio(devicePixelRatio);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  paintItem(painter, description, QSizeF(cell), devicePixelRatio);
  return image;
}

}  // namespace

QImage renderItemImage(const platform::RenderDescription& description, QSize cell, qreal devicePixelRatio) {
  return renderItemImages({ItemImageRequest{description, cell, devicePixelRatio}}).front();
}

std::vector<QImage> renderItemImages(const std::vector<ItemImageRequest>& requests) {
  const auto renderAll = [&requests] {
    std::vector<QImage> images;
    images.reserve(requests.size());
    for (const ItemImageRequest& request : requests)
      images.push_back(renderOnThisThread(request.description, request.cell, request.devicePixelRatio));
    return images;
  };
  // Qt's raster engine splits each tall fill across its global thread pool unless it already runs on one
  // of the pool's threads: drawn here, the pictures at scale 6 started threads and woke them dozens of
  // times a change. Drawn as one task on the pool, they cost one hand-over.
  std::packaged_task<std::vector<QImage>()> task(renderAll);
  std::future<std::vector<QImage>> images = task.get_future();
  QThreadPool* pool = QThreadPool::globalInstance();
  handOver(pool);
  if (!pool->tryStart([&task, pool] {
        takeOver(pool);
        task();
      }))
    return renderAll();
  return images.get();
}

}  // namespace pellmor::qt
