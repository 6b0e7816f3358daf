#include "Backends/Qt/QtHostingView.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <utility>

#include "Backends/Qt/ItemPainter.h"

namespace pellmor::qt {
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
  void setMenuAnchor(std::function<std::optional<QRect>()> anchor) { menuAnchor_ = std::move(anchor); }
  void setExactCell(QSizeF points) {
    if (exactCell_ == points) return;
    exactCell_ = points;
    displayChanged();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const platform::Size cell = this->cell();
    paintItem(painter, description_, QSizeF(cell.width, cell.height), devicePixelRatioF());
  }

  void resizeEvent(QResizeEvent*) override {
    // The cell decides the form: the tray may give less room than the content asks for.
    displayChanged();
  }

  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::RightButton) return showMenu(event->globalPosition().toPoint());
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressTarget_ = content_->hitTest(toCell(event->position()), cell(), devicePixelRatioF());
    pressed_ = true;
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    // Whatever form is shown, the middle button reaches the timer.
    if (event->button() == Qt::MiddleButton && rect().contains(event->position().toPoint())) {
      return content_->activate(platform::HitTarget::timerButton);
    }
    if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    // A click is a press and a release on the same target, as with any button; nothing is drawn pressed.
    if (!rect().contains(event->position().toPoint())) return;
    const platform::Point point = toCell(event->position());
    if (content_->hitTest(point, cell(), devicePixelRatioF()) != pressTarget_) return;
    if (!content_->click(point, cell(), devicePixelRatioF()) && fallback_) fallback_();
  }

 private:
  void installContent() {
    content_->install([this] { displayChanged(); });
    displayChanged();
  }

  void displayChanged() {
    description_ = content_->render(cell(), devicePixelRatioF());
    update();
    for (const auto& observer : observers_)
      observer(description_);
  }

  void showMenu(QPoint globalPosition) {
    // Built afresh each time, so its titles follow the content; the menu is modal and gone on return.
    QMenu menu(this);
    for (const platform::MenuEntry& entry : content_->menu()) {
      QAction* action = menu.addAction(QString::fromStdString(entry.title));
      connect(action, &QAction::triggered, this,
              [this, target = entry.target] { content_->activate(target); });
    }
    menu.exec(menuPlace(menu.sizeHint(), globalPosition));
  }

  QPoint menuPlace(QSize menu, QPoint pointer) const {
    const std::optional<QRect> item = menuAnchor_ ? menuAnchor_() : std::nullopt;
    const QScreen* screen = QGuiApplication::screenAt(item ? item->center() : pointer);
    if (!item || screen == nullptr) return pointer;
    return menuPosition(*item, menu, screen->geometry());
  }

  // The exact cell while the widget's whole points are within a point of it.
  platform::Size cell() const {
    if (exactCell_ && std::abs(exactCell_->width() - width()) < 1 &&
        std::abs(exactCell_->height() - height()) < 1)
      return platform::Size{exactCell_->width(), exactCell_->height()};
    return platform::Size{static_cast<double>(width()), static_cast<double>(height())};
  }

  static platform::Point toCell(QPointF local) { return platform::Point{local.x(), local.y()}; }

  std::shared_ptr<platform::HostedContent> content_;
  std::vector<std::function<void(const platform::RenderDescription&)>> observers_;
  std::function<void()> fallback_;
  std::function<std::optional<QRect>()> menuAnchor_;
  platform::RenderDescription description_;
  std::optional<QSizeF> exactCell_;
  platform::HitTarget pressTarget_ = platform::HitTarget::none;
  bool pressed_ = false;
};

QPoint menuPosition(QRect item, QSize menu, QRect screen) {
  const auto within = [](int value, int low, int high) { return std::max(low, std::min(value, high)); };
  const int belowTop = item.bottom() + 1;
  const int aboveTop = item.top() - menu.height();
  const int leftmost = screen.left();
  const int rightmost = screen.right() + 1 - menu.width();
  if (belowTop + menu.height() <= screen.bottom() + 1)
    return {within(item.left(), leftmost, rightmost), belowTop};
  if (aboveTop >= screen.top()) return {within(item.left(), leftmost, rightmost), aboveTop};
  // A screen too short above and below (an item in a tall vertical panel): beside it.
  const int top = within(item.top(), screen.top(), screen.bottom() + 1 - menu.height());
  const int right = item.right() + 1;
  return {right + menu.width() <= screen.right() + 1 ? right : item.left() - menu.width(), top};
}

std::shared_ptr<platform::HostedContent> followContent(platform::View& child, std::function<void()> changed) {
  auto* host = dynamic_cast<QtHostingView*>(&child);
  if (host == nullptr || !host->content()) return nullptr;
  host->addDisplayObserver([changed = std::move(changed)](const platform::RenderDescription&) { changed(); });
  return host->content();
}

void setExactCell(QWidget* hostWidget, QSizeF points) {
  if (auto* host = dynamic_cast<HostWidget*>(hostWidget)) host->setExactCell(points);
}

void activateMenuEntry(platform::HostedContent* content, int index) {
  if (content == nullptr) return;
  const std::vector<platform::MenuEntry> entries = content->menu();
  if (index >= 0 && static_cast<std::size_t>(index) < entries.size())
    content->activate(entries[index].target);
}

QtHostingView::QtHostingView(std::shared_ptr<platform::HostedContent> root)
    : content_(root), widget_(new HostWidget(std::move(root))) {}

QtHostingView::~QtHostingView() {
  // The button deletes its children when it goes first; otherwise the widget goes here.
  delete widget_.data();
}

platform::Rect QtHostingView::frame() const {
  return frame_;
}

void QtHostingView::setFrame(platform::Rect frame) {
  frame_ = frame;
  if (widget_) {
    widget_->setGeometry(
        static_cast<int>(std::lround(frame.origin.x)), static_cast<int>(std::lround(frame.origin.y)),
        static_cast<int>(std::lround(frame.width())), static_cast<int>(std::lround(frame.height())));
  }
}

platform::Rect QtHostingView::bounds() const {
  return platform::makeRect(0, 0, frame_.width(), frame_.height());
}

const platform::Window* QtHostingView::window() const {
  return superview_ != nullptr ? superview_->window() : nullptr;
}

platform::Rect QtHostingView::convertRectToWindow(platform::Rect rect) const {
  if (superview_ == nullptr) return rect;
  rect.origin.x += frame_.origin.x;
  rect.origin.y += frame_.origin.y;
  return superview_->convertRectToWindow(rect);
}

void QtHostingView::addSubview(platform::View&) {
  // The host draws its content itself and takes no platform views as children.
}

QWidget* QtHostingView::widget() const {
  return widget_.data();
}

void QtHostingView::addDisplayObserver(std::function<void(const platform::RenderDescription&)> observer) {
  if (widget_) widget_->addDisplayObserver(std::move(observer));
}

void QtHostingView::setMenuAnchor(std::function<std::optional<QRect>()> anchor) {
  if (widget_) widget_->setMenuAnchor(std::move(anchor));
}

void QtHostingView::setFallbackAction(std::function<void()> action) {
  if (widget_) widget_->setFallbackAction(std::move(action));
}

}  // namespace pellmor::qt
