#include "Backends/XEmbed/TrayButton.h"

#include <QCloseEvent>
#include <QImage>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "Backends/Qt/ItemDescription.h"
#include "Backends/Qt/QtHostingView.h"
#include "Backends/XEmbed/TrayCell.h"
#include "Backends/XEmbed/TrayTracker.h"

namespace pellmor::xembed {
namespace {

// How long to wait for the tray to show the slot it made for the item: at most about a second.
constexpr auto backgroundRetryInterval = std::chrono::milliseconds(20);
constexpr int maximumBackgroundAttempts = 50;

int pixelsOf(double points) {
  return static_cast<int>(std::lround(points));
}

void showMappedByTray(QWidget& widget) {
  // The tray has mapped the window already (XEmbed asks it to); Qt warns about that when showing. The
  // warning is expected here, and nothing else is logged while show() runs.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.xcb.warning=false"));
  widget.show();
  QLoggingCategory::setFilterRules(QString());
}

}  // namespace

// The native window: nothing of its own but the tray's background behind the content, and the button's
// own click action where the content leaves space.
class TrayWidget final : public QWidget {
 public:
  TrayWidget() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint) {
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_AlwaysShowToolTips, true);
  }

  void setBackground(QImage background) {
    background_ = std::move(background);
    update();
  }
  void setClickAction(std::function<void()> action) { clickAction_ = std::move(action); }

  // The content takes the cell: the part of the window that the tray shows, in points (whole ones for the
  // widget, exact ones for what it draws).
  void fitContent(QRectF cell) {
    const QRect whole(pixelsOf(cell.x()), pixelsOf(cell.y()), pixelsOf(cell.width()),
                      pixelsOf(cell.height()));
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      child->setGeometry(whole);
      qt::setExactCell(child, cell.size());
    }
  }

  // A window's visual is fixed when it is made: changing to or from an alpha visual takes a new window.
  void remakeNativeWindow(bool translucent) {
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    background_ = QImage();
    destroy();
    // The new window starts in the root window's corner, and the widget must say so before it is
    // shown: it still holds the last tray's position, and Qt shows a widget whose position differs
    // from its window's by resizing the window to the widget's size, which undoes a resize that the
    // new tray made a moment before.
    setGeometry(QRect(QPoint(0, 0), size()));
    setAttribute(Qt::WA_Moved, false);  // Qt goes on placing the window by its size alone
    create();
  }

 protected:
  // A tray that gives its icons up sends them WM_DELETE_WINDOW, as a window manager would (GTK 2's
  // sockets do, trayer's among them); closing would destroy the native window, and with it the item.
  void closeEvent(QCloseEvent* event) override { event->ignore(); }

  void paintEvent(QPaintEvent*) override {
    if (background_.isNull()) return;
    // Tiled sideways: the tray's background only varies from top to bottom, and the item may grow.
    QPainter painter(this);
    painter.drawTiledPixmap(rect(), QPixmap::fromImage(background_.scaledToHeight(height())));
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && clickAction_) {
      clickAction_();
    }
  }

 private:
  QImage background_;
  std::function<void()> clickAction_;
};

TrayButton::TrayButton(TrayTracker& tracker, std::function<qt::ScreenLayout()> layout)
    : tracker_(tracker), layout_(std::move(layout)), widget_(std::make_unique<TrayWidget>()) {
  // An icon drawn on the tray's own alpha visual needs no copy of the tray's background.
  if (tracker_.managerVisualHasAlpha()) widget_->setAttribute(Qt::WA_TranslucentBackground);
  widget_->setClickAction([this] { runAction(); });
  listen();
}

TrayButton::~TrayButton() {
  tracker_.removeListener(windowId_);
}

void TrayButton::listen() {
  windowId_ = static_cast<WindowId>(widget_->winId());
  // The tray maps the window as soon as it takes it in, before Qt has painted it: until then the X
  // server shows the tray's own background there, which is also what the item copies for its corners.
  if (!widget_->testAttribute(Qt::WA_TranslucentBackground)) showParentBackground(windowId_);
  tracker_.addListener(
      windowId_,
      TrayTracker::Listener{
          .trayChanged = [this] { managerChanged(); },
          .reparentedIntoTray = [this](PixelRect window,
                                       PixelSize parent) { dock_.reparentedIntoTray(window, parent); },
          .reparentedToRoot = [this] { dock_.reparentedToRoot(); },
          .configured = [this](PixelRect window) { dock_.windowConfigured(window); },
          .parentResized = [this](PixelSize parent) { dock_.parentResized(parent); },
          .mapped = [this] { dock_.mapped(); },
          .destroyed = [this] { dock_.windowDestroyed(); },
      });
}

void TrayButton::managerChanged() {
  // What the last tray showed says nothing about this one.
  trayGivesWidth_.reset();
  dock_.managerChanged(tracker_.manager() != 0);
  const bool alpha = tracker_.manager() != 0 && tracker_.managerVisualHasAlpha();
  if (alpha != widget_->testAttribute(Qt::WA_TranslucentBackground)) {
    // Out of every tray by now: the dock asks the new manager only after a moment.
    remakeWindow(alpha);
  }
  notifyTrayObserver();
}

bool TrayButton::requestDock() {
  return tracker_.requestDock(windowId_);
}

void TrayButton::lookUpManager() {
  tracker_.lookUpManager();
}

void TrayButton::withdraw() {
  ++showGeneration_;  // a show still waiting for the tray's background lapses
  widget_->hide();
  xembed::withdraw(windowId_);
}

void TrayButton::withdrawToRoot() {
  ++showGeneration_;
  widget_->hide();
  xembed::withdrawToRoot(windowId_);
}

void TrayButton::recreateWindow() {
  // Qt still holds the destroyed window; the new one starts at the item's own size, out of every tray.
  const double ratio = pixelRatio();
  const PixelSize own = ownPixels();
  widget_->setFixedSize(pixelsOf(own.width / ratio), pixelsOf(own.height / ratio));
  remakeWindow(widget_->testAttribute(Qt::WA_TranslucentBackground));
  withdraw();
}

void TrayButton::remakeWindow(bool translucent) {
  tracker_.removeListener(windowId_);
  widget_->remakeNativeWindow(translucent);
  listen();
  pinNativeSize();
  const std::optional<qt::PixelRect> made = geometryOnRoot(windowId_);
  dock_.windowReplaced(made ? PixelSize{pixelsOf(made->width), pixelsOf(made->height)} : ownPixels());
}

void TrayButton::showInTray() {
  showWhenSlotIsReady(++showGeneration_, 0);
}

void TrayButton::showWhenSlotIsReady(int generation, int attempt) {
  if (generation != showGeneration_) return;  // withdrawn meanwhile
  if (!widget_->testAttribute(Qt::WA_TranslucentBackground)) {
    QImage background = tracker_.backgroundBehind(windowId_);
    if (background.isNull() && attempt + 1 < maximumBackgroundAttempts) {
      QTimer::singleShot(backgroundRetryInterval, widget_.get(),
                         [this, generation, attempt] { showWhenSlotIsReady(generation, attempt + 1); });
      return;
    }
    widget_->setBackground(std::move(background));
  }
  showMappedByTray(*widget_);
  pinNativeSize();  // showing rewrote the hints
}

bool TrayButton::fixWidgetSize(PixelSize size) {
  const double ratio = pixelRatio();
  const QSize points(pixelsOf(size.width / ratio), pixelsOf(size.height / ratio));
  widget_->setFixedSize(points);
  // Qt wrote the slot's size into the hints: a tray that sizes its slot from them (trayer) would keep a
  // slot it gave only for a moment, 1 pixel wide while it lays itself out, for good.
  pinNativeSize();
  return pixelsOf(points.width() * ratio) != size.width || pixelsOf(points.height() * ratio) != size.height;
}

void TrayButton::resizeWindow(PixelSize size) {
  fixWidgetSize(size);
  // Also on the server: a tray may have changed the size behind Qt's back, and Qt sends nothing then.
  xembed::resizeWindow(windowId_, size.width, size.height);
}

void TrayButton::takeWindowSize(PixelSize size) {
  // Qt has seen the window's size by now (the tracker reports after Qt), so it asks nothing for the
  // points that hold it. At a scale where no whole number of points does, Qt has just asked for the
  // nearest: the exact pixels go after it.
  if (fixWidgetSize(size)) xembed::resizeWindow(windowId_, size.width, size.height);
}

void TrayButton::fitCell(PixelRect cell) {
  cell_ = cell;
  const double ratio = pixelRatio();
  widget_->fitContent(QRectF(cell.x / ratio, cell.y / ratio, cell.width / ratio, cell.height / ratio));
}

std::optional<PixelRect> TrayButton::shownPart(PixelRect cell) {
  return shownByPanel(windowId_, cell);
}

void TrayButton::cellChanged() {
  const std::optional<SettledCell> settled = dock_.settledCell();
  // Out of the tray: what it showed stands until the manager changes, so turning docking off for the
  // other front end does not make this tray look new.
  if (!settled || !content_) return;
  const platform::Size row = content_->render().size;  // the full row, whatever form the cell shows
  const double ratio = pixelRatio();
  const bool givesWidth =
      settled->shown && cellGivesWidth(settled->cell.width, settled->cell.height, pixelsOf(row.width * ratio),
                                       pixelsOf(row.height * ratio));
  if (trayGivesWidth_ == givesWidth) return;
  trayGivesWidth_ = givesWidth;
  notifyTrayObserver();
}

void TrayButton::after(std::chrono::milliseconds delay, std::function<void()> task) {
  QTimer::singleShot(delay, widget_.get(), std::move(task));
}

void TrayButton::notifyTrayObserver() {
  if (trayObserver_) trayObserver_();
}

bool TrayButton::trayPresent() const {
  return tracker_.manager() != 0;
}

void TrayButton::setDockingEnabled(bool enabled) {
  ++dockingChoice_;  // an enabling still queued lapses
  if (!enabled) return dock_.setEnabled(false, trayPresent());
  // On the next pass: the controller may still be giving the item its frame, and the tray embeds the
  // window at the size it has when the request arrives.
  QTimer::singleShot(0, widget_.get(), [this, choice = dockingChoice_] {
    if (choice == dockingChoice_) dock_.setEnabled(true, trayPresent());
  });
}

platform::Rect TrayButton::frame() const {
  return frame_;
}

void TrayButton::setFrame(platform::Rect frame) {
  frame_ = frame;
  // The tray places the window; only its size is the item's to choose. Trays size their slot from the
  // window's minimum size hint (WM_NORMAL_HINTS) and follow its changes, so the hints pin the size.
  pinNativeSize();
  dock_.setOwnSize(ownPixels());
}

double TrayButton::pixelRatio() const {
  return widget_->devicePixelRatioF();
}

PixelSize TrayButton::ownPixels() const {
  const double ratio = pixelRatio();
  return PixelSize{pixelsOf(frame_.width() * ratio), pixelsOf(frame_.height() * ratio)};
}

void TrayButton::pinNativeSize() {
  // Always the content's own size, whatever cell the tray gave.
  const PixelSize own = ownPixels();
  pinSizeHints(windowId_, own.width, own.height);
}

platform::Rect TrayButton::bounds() const {
  if (!dock_.currentCell()) return platform::makeRect(0, 0, frame_.width(), frame_.height());
  const double ratio = pixelRatio();
  return platform::makeRect(0, 0, cell_.width / ratio, cell_.height / ratio);
}

const platform::Window* TrayButton::window() const {
  // A position nobody can see is no answer: a proxy's hidden window, or one off the screen.
  const std::optional<PixelRect> cell = dock_.currentCell();
  if (!cell || !shownOnScreen(windowId_, *cell)) return nullptr;
  return &window_;
}

platform::Rect TrayButton::convertRectToWindow(platform::Rect rect) const {
  const WindowId top = topLevelAncestor(windowId_);
  const std::optional<qt::PixelRect> own = geometryOnRoot(windowId_);
  const std::optional<qt::PixelRect> outer = geometryOnRoot(top);
  if (!own || !outer) return rect;
  const double scale = layout_().devicePixelRatio;
  // The bounds start at the cell's corner, which need not be the window's.
  const platform::Point offset{(own->x + cell_.x - outer->x) / scale, (own->y + cell_.y - outer->y) / scale};
  return qt::windowFromView(rect, offset, outer->height / scale);
}

std::optional<QRect> TrayButton::itemOnScreen() const {
  const std::optional<PixelRect> cell = dock_.currentCell();
  const std::optional<qt::PixelRect> own = geometryOnRoot(windowId_);
  if (!cell || !own) return std::nullopt;
  const double ratio = pixelRatio();
  return QRect(pixelsOf((own->x + cell->x) / ratio), pixelsOf((own->y + cell->y) / ratio),
               pixelsOf(cell->width / ratio), pixelsOf(cell->height / ratio));
}

void TrayButton::addSubview(platform::View& child) {
  auto* host = dynamic_cast<qt::QtHostingView*>(&child);
  if (host == nullptr || host->widget() == nullptr) return;
  content_ = host->content();
  host->setSuperview(this);
  host->widget()->setParent(widget_.get());
  host->setFrame(host->frame());
  fitCell(dock_.currentCell().value_or(PixelRect{0, 0, ownPixels().width, ownPixels().height}));
  host->widget()->show();
  host->setFallbackAction([this] { runAction(); });
  host->setMenuAnchor([this] { return itemOnScreen(); });
  host->addDisplayObserver(
      [this](const platform::RenderDescription& description) { showDescription(description); });
}

void TrayButton::setAction(std::function<void()> action) {
  action_ = std::move(action);
}

void TrayButton::showDescription(const platform::RenderDescription& description) {
  // Scripts, accessibility tools and tests read what the item shows from the window title.
  widget_->setWindowTitle(QString::fromStdString(description.imageName + "|" + description.text));
  widget_->setToolTip(qt::describeInWords(description));
}

void TrayButton::runAction() {
  if (action_) action_();
}

}  // namespace pellmor::xembed
