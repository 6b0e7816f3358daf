#include "Backends/X11/HostingView.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <cmath>
#include <utility>

#include "Backends/X11/Artwork.h"
#include "Backends/X11/ContinuousCorners.h"

namespace pellmor::x11 {
namespace {

QRectF qtRect(const platform::Rect& rect) {
  return QRectF(rect.origin.x, rect.origin.y, rect.width(), rect.height());
}

// The image drawn unscaled, centred in the frame and clipped to its rounded shape with smooth edges.
void drawClippedImage(QPainter& painter, const QRectF& frame, const platform::CornerRadii& corners,
                      const QPixmap& image, double devicePixelRatio) {
  const QSize pixels(static_cast<int>(std::ceil(frame.width() * devicePixelRatio)),
                     static_cast<int>(std::ceil(frame.height() * devicePixelRatio)));
  QImage layer(pixels, QImage::Format_ARGB32_Premultiplied);
  layer.setDevicePixelRatio(devicePixelRatio);
  layer.fill(Qt::transparent);
  {
    QPainter shape(&layer);
    shape.setRenderHint(QPainter::Antialiasing);
    shape.fillPath(continuousRoundedRect(QRectF(QPointF(0, 0), frame.size()), corners), Qt::black);
    shape.setCompositionMode(QPainter::CompositionMode_SourceIn);
    const QSizeF size = image.deviceIndependentSize();
    shape.drawPixmap(QPointF((frame.width() - size.width()) / 2, (frame.height() - size.height()) / 2),
                     image);
  }
  painter.drawImage(frame.topLeft(), layer);
}

}  // namespace

class HostWidget final : public QWidget {
 public:
  explicit HostWidget(std::shared_ptr<platform::HostedContent> content) : content_(std::move(content)) {
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(false);
    // The content takes its channel now; it publishes its first measured size on the main thread's next
    // pass, after the controller has subscribed to it.
    installContent();
  }

  void addDisplayObserver(std::function<void(const platform::RenderDescription&)> observer) {
    if (!observer) return;
    observer(description_);
    observers_.push_back(std::move(observer));
  }
  void setFallbackAction(std::function<void()> action) { fallback_ = std::move(action); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(contentOffset());
    drawTimerButton(painter);
    drawTrailingSegment(painter);
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressTarget_ = content_->hitTest(toContent(event->position()));
    pressed_ = true;
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    // A click is a press and a release on the same target, as with any button; nothing is drawn pressed.
    if (!rect().contains(event->position().toPoint())) return;
    const platform::Point point = toContent(event->position());
    if (content_->hitTest(point) != pressTarget_) return;
    if (!content_->click(point) && fallback_) fallback_();
  }

 private:
  void installContent() {
    content_->install([this] { displayChanged(); });
    displayChanged();
  }

  void displayChanged() {
    description_ = content_->render();
    update();
    for (const auto& observer : observers_)
      observer(description_);
  }

  QPointF contentOffset() const {
    return QPointF((width() - description_.size.width) / 2, (height() - description_.size.height) / 2);
  }

  platform::Point toContent(QPointF local) const {
    const QPointF point = local - contentOffset();
    return platform::Point{point.x(), point.y()};
  }

  void drawTimerButton(QPainter& painter) {
    const double ratio = devicePixelRatioF();
    const QPixmap image = bundleImage(description_.imageName, ratio);
    if (image.isNull()) return;
    drawClippedImage(painter, qtRect(description_.timerButtonFrame), description_.timerButtonCorners, image,
                     ratio);
  }

  void drawTrailingSegment(QPainter& painter) {
    painter.fillPath(continuousRoundedRect(qtRect(description_.trailingFrame), description_.trailingCorners),
                     bundleColour(description_.trailingBackgroundColour));
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // The layout's points are the item's logical pixels, so the text size is given in them too.
    font.setPixelSize(static_cast<int>(std::lround(description_.fontSize)));
    painter.setFont(font);
    painter.setPen(bundleColour(description_.textColour));
    const QRectF frame = qtRect(description_.textFrame);
    const QString text = QFontMetricsF(font).elidedText(QString::fromStdString(description_.text),
                                                        Qt::ElideRight, frame.width());
    painter.drawText(frame, Qt::AlignCenter, text);
  }

  std::shared_ptr<platform::HostedContent> content_;
  std::vector<std::function<void(const platform::RenderDescription&)>> observers_;
  std::function<void()> fallback_;
  platform::RenderDescription description_;
  platform::HitTarget pressTarget_ = platform::HitTarget::none;
  bool pressed_ = false;
};

HostingView::HostingView(std::shared_ptr<platform::HostedContent> root)
    : content_(root), widget_(new HostWidget(std::move(root))) {}

HostingView::~HostingView() {
  // The button deletes its children when it goes first; otherwise the widget goes here.
  delete widget_.data();
}

platform::Rect HostingView::frame() const {
  return frame_;
}

void HostingView::setFrame(platform::Rect frame) {
  frame_ = frame;
  if (widget_) {
    widget_->setGeometry(
        static_cast<int>(std::lround(frame.origin.x)), static_cast<int>(std::lround(frame.origin.y)),
        static_cast<int>(std::lround(frame.width())), static_cast<int>(std::lround(frame.height())));
  }
}

platform::Rect HostingView::bounds() const {
  return platform::makeRect(0, 0, frame_.width(), frame_.height());
}

platform::Window* HostingView::window() const {
  return superview_ != nullptr ? superview_->window() : nullptr;
}

platform::Rect HostingView::convertRectToWindow(platform::Rect rect) const {
  if (superview_ == nullptr) return rect;
  rect.origin.x += frame_.origin.x;
  rect.origin.y += frame_.origin.y;
  return superview_->convertRectToWindow(rect);
}

void HostingView::addSubview(platform::View&) {
  // The host draws its content itself and takes no platform views as children.
}

QWidget* HostingView::widget() const {
  return widget_.data();
}

void HostingView::addDisplayObserver(std::function<void(const platform::RenderDescription&)> observer) {
  if (widget_) widget_->addDisplayObserver(std::move(observer));
}

void HostingView::setFallbackAction(std::function<void()> action) {
  if (widget_) widget_->setFallbackAction(std::move(action));
}

}  // namespace pellmor::x11
