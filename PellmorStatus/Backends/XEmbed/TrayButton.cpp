#include "Backends/XEmbed/TrayButton.h"

#include <QImage>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
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
constexpr auto firstDockRetryDelay = std::chrono::milliseconds(500);
constexpr auto longestDockRetryDelay = std::chrono::milliseconds(30000);
// How long a tray has to grow the slot after the item asked for more room (trayer takes milliseconds).
constexpr auto slotFollowGrace = std::chrono::milliseconds(1000);

bool overflows(PixelSize window, PixelSize slot) {
  return window.width > slot.width || window.height > slot.height;
}

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

  // The content takes the cell, from the window's top-left corner.
  void fitContent(QSize cell) {
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      child->setGeometry(QRect(QPoint(0, 0), cell));
  }

  // A window's visual is fixed when it is made: changing to or from an alpha visual takes a new window.
  void remakeNativeWindow(bool translucent) {
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    background_ = QImage();
    destroy();
    create();
  }

 protected:
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
  // On the next pass, once the controller has given the button its first frame: the tray embeds a window
  // at the size it has when the request arrives. A change of docking meanwhile starts a new sequence.
  QTimer::singleShot(0, widget_.get(), [this, sequence = dockSequence_] {
    if (sequence == dockSequence_) dock();
  });
}

TrayButton::~TrayButton() {
  tracker_.removeListener(windowId_);
}

void TrayButton::dock() {
  if (!dockingEnabled_) return;
  tracker_.requestDock(windowId_);
  // Asked again, less and less often, until a tray embeds the item: a tray still setting itself up can
  // drop the request, and one that replaces another while this process starts can go unannounced.
  const int request = ++dockRequests_;
  const auto delay = std::min(firstDockRetryDelay * (1 << std::min(request - 1, 6)), longestDockRetryDelay);
  QTimer::singleShot(delay, widget_.get(), [this, sequence = dockSequence_] {
    // Once the tray has taken the window in, the embedding is under way: asking again would embed it twice.
    if (docked_ || sequence != dockSequence_ || isReparented(windowId_)) return;
    tracker_.lookUpManager();
    dock();
  });
}

void TrayButton::startDockSequence() {
  ++dockSequence_;  // pending retries of the previous sequence lapse
  dockRequests_ = 0;
}

void TrayButton::listen() {
  windowId_ = static_cast<WindowId>(widget_->winId());
  // The tray maps the window as soon as it takes it in, before Qt has painted it: until then the X
  // server shows the tray's own background there, which is also what the item copies for its corners.
  if (!widget_->testAttribute(Qt::WA_TranslucentBackground)) showParentBackground(windowId_);
  tracker_.addListener(windowId_, TrayTracker::Listener{.trayChanged = [this] { trayChanged(); },
                                                        .embedded = [this] { embedded(); },
                                                        .resized = [this] { fitToSlot(); },
                                                        .orphaned = [this] { orphaned(); },
                                                        // A tray that lets the window go may map it
                                                        // after the reparenting, or the X server does.
                                                        .mappedOnRoot = [this] { withdraw(windowId_); }});
}

void TrayButton::trayChanged() {
  // The old tray is gone (its windows with it) or replaced: the window must not linger on the root.
  withdrawWindow();
  trayGivesWidth_.reset();
  startDockSequence();
  const bool alpha = tracker_.manager() != 0 && tracker_.managerVisualHasAlpha();
  if (alpha != widget_->testAttribute(Qt::WA_TranslucentBackground)) {
    tracker_.removeListener(windowId_);
    widget_->remakeNativeWindow(alpha);
    listen();
    pinNativeSize();
  }
  dock();
  notifyTrayObserver();
}

void TrayButton::orphaned() {
  // The tray let the window go (it exited, or dropped the icon): it must not stay on the desktop, where
  // it would be an invisible window taking clicks. It docks again when asked to.
  withdrawWindow();
  startDockSequence();
  dock();
}

void TrayButton::withdrawWindow() {
  docked_ = false;
  widget_->hide();
  withdraw(windowId_);
  // The next tray sees the item's own size, not the slot of the last one.
  widget_->setFixedSize(pixelsOf(frame_.width()), pixelsOf(frame_.height()));
  const double ratio = widget_->devicePixelRatioF();
  resizeWindow(windowId_, pixelsOf(frame_.width() * ratio), pixelsOf(frame_.height() * ratio));
  fitToSlot();
}

void TrayButton::fitToSlot() {
  if (!docked_) return showInCell(widget_->size());
  const std::optional<PixelSize> own = sizeOf(windowId_);
  const std::optional<PixelSize> slot = parentSizeOf(windowId_);
  if (!own || !slot) return;
  // A tray that follows the item's size grows the slot soon after the item's resize. One with slots of
  // its own size leaves the item hanging out of its slot, or resizes the window behind Qt's back; after a
  // grace period the item settles into what the tray gives.
  if ((overflows(*own, *slot) || pointsOf(*own) != widget_->size()) && !settlePending_) {
    settlePending_ = true;
    QTimer::singleShot(slotFollowGrace, widget_.get(), [this] {
      settlePending_ = false;
      settleInSlot();
    });
  }
  // The cell is what the X server shows of the window and Qt draws of the widget.
  showInCell(pointsOf(*own).boundedTo(pointsOf(*slot)).boundedTo(widget_->size()));
}

void TrayButton::settleInSlot() {
  if (!docked_) return;
  const std::optional<PixelSize> own = sizeOf(windowId_);
  const std::optional<PixelSize> slot = parentSizeOf(windowId_);
  if (!own || !slot) return;
  const QSize cell = pointsOf(*own).boundedTo(pointsOf(*slot));
  if (cell != widget_->size()) {
    widget_->setFixedSize(cell);
    pinNativeSize();
  }
  showInCell(cell);
}

QSize TrayButton::pointsOf(PixelSize pixels) const {
  const double ratio = widget_->devicePixelRatioF();
  return QSize(pixelsOf(pixels.width / ratio), pixelsOf(pixels.height / ratio));
}

void TrayButton::showInCell(QSize cell) {
  cell_ = platform::Size{static_cast<double>(cell.width()), static_cast<double>(cell.height())};
  widget_->fitContent(cell);
}

void TrayButton::embedded() {
  // A request sent before docking was turned off can still be served: the item is shown elsewhere now.
  if (!dockingEnabled_) {
    withdrawToRoot(windowId_);
    return;
  }
  docked_ = true;
  tracker_.watchSlot(windowId_, parentOf(windowId_));
  startDockSequence();
  backgroundAttempts_ = 0;
  showWhenSlotIsReady();
}

void TrayButton::showWhenSlotIsReady() {
  if (!docked_) return;  // the tray went away meanwhile
  if (!widget_->testAttribute(Qt::WA_TranslucentBackground)) {
    QImage background = tracker_.backgroundBehind(windowId_);
    if (background.isNull() && ++backgroundAttempts_ < maximumBackgroundAttempts) {
      QTimer::singleShot(backgroundRetryInterval, widget_.get(), [this] { showWhenSlotIsReady(); });
      return;
    }
    widget_->setBackground(std::move(background));
  }
  showMappedByTray(*widget_);
  pinNativeSize();  // showing rewrote the hints
  fitToSlot();
  measureCell();
}

void TrayButton::measureCell() {
  const std::optional<PixelSize> slot = parentSizeOf(windowId_);
  if (!slot || !content_) return;
  const platform::Size row = content_->render().size;  // the full row, whatever form the cell shows
  const double ratio = widget_->devicePixelRatioF();
  trayGivesWidth_ =
      cellGivesWidth(slot->width, slot->height, pixelsOf(row.width * ratio), pixelsOf(row.height * ratio));
  notifyTrayObserver();
}

void TrayButton::notifyTrayObserver() {
  if (trayObserver_) trayObserver_();
}

bool TrayButton::trayPresent() const {
  return tracker_.manager() != 0;
}

void TrayButton::setDockingEnabled(bool enabled) {
  if (enabled == dockingEnabled_) return;
  dockingEnabled_ = enabled;
  startDockSequence();
  if (enabled) {
    // On the next pass, like the first request: the controller may still be giving the item its frame.
    QTimer::singleShot(0, widget_.get(), [this, sequence = dockSequence_] {
      if (dockingEnabled_ && sequence == dockSequence_) dock();
    });
    return;
  }
  if (docked_ || isReparented(windowId_)) {
    withdrawWindow();
    withdrawToRoot(windowId_);
  }
}

platform::Rect TrayButton::frame() const {
  return frame_;
}

void TrayButton::setFrame(platform::Rect frame) {
  frame_ = frame;
  // The tray places the window; only its size is the item's to choose. Trays size their slot from the
  // window's minimum size hint (WM_NORMAL_HINTS) and follow its changes, so the size is made fixed.
  // A tray that keeps slots of its own size gets the window back to that size (fitToSlot).
  widget_->setFixedSize(pixelsOf(frame.width()), pixelsOf(frame.height()));
  pinNativeSize();
  fitToSlot();
}

void TrayButton::pinNativeSize() {
  // Hints are in device pixels and always ask for the content's own size, whatever cell the tray gave.
  const double ratio = widget_->devicePixelRatioF();
  pinSizeHints(windowId_, pixelsOf(frame_.width() * ratio), pixelsOf(frame_.height() * ratio));
}

platform::Rect TrayButton::bounds() const {
  return platform::makeRect(0, 0, cell_.width, cell_.height);
}

const platform::Window* TrayButton::window() const {
  if (!docked_ || !isReparented(windowId_)) return nullptr;
  return &window_;
}

platform::Rect TrayButton::convertRectToWindow(platform::Rect rect) const {
  const WindowId top = topLevelAncestor(windowId_);
  const std::optional<qt::PixelRect> own = geometryOnRoot(windowId_);
  const std::optional<qt::PixelRect> outer = geometryOnRoot(top);
  if (!own || !outer) return rect;
  const double scale = layout_().devicePixelRatio;
  const platform::Point offset{(own->x - outer->x) / scale, (own->y - outer->y) / scale};
  return qt::windowFromView(rect, offset, outer->height / scale);
}

void TrayButton::addSubview(platform::View& child) {
  auto* host = dynamic_cast<qt::QtHostingView*>(&child);
  if (host == nullptr || host->widget() == nullptr) return;
  content_ = host->content();
  host->setSuperview(this);
  host->widget()->setParent(widget_.get());
  host->setFrame(host->frame());
  fitToSlot();
  host->widget()->show();
  host->setFallbackAction([this] { runAction(); });
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
