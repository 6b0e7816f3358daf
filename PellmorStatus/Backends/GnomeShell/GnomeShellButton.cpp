#include "Backends/GnomeShell/GnomeShellButton.h"

#include <QImage>
#include <cmath>
#include <utility>

#include "Backends/Qt/ItemDescription.h"
#include "Backends/Qt/ItemPainter.h"
#include "Backends/Qt/QtHostingView.h"

namespace pellmor::gnome {
namespace {

bool isEmpty(const qt::PixelRect& rect) {
  return rect.width <= 0 || rect.height <= 0;
}

}  // namespace

ShellPanelWindow::ShellPanelWindow(const ShellExtensionTracker& tracker,
                                   std::function<qt::ScreenLayout()> layout)
    : tracker_(tracker), layout_(std::move(layout)) {}

platform::Rect ShellPanelWindow::frame() const {
  return qt::globalFromPixels(tracker_.panel().frame, layout_());
}

platform::Rect ShellPanelWindow::convertRectToScreen(platform::Rect rect) const {
  return qt::screenFromWindow(rect, frame());
}

GnomeShellButton::GnomeShellButton(ShellExtensionTracker& tracker, std::function<qt::ScreenLayout()> layout)
    : tracker_(tracker),
      layout_(std::move(layout)),
      window_(tracker_, layout_),
      item_(tracker_, ShellItem::Actions{
                          .activate = clicks_.limited([this](int x, int y) { click(x, y); }),
                          .secondaryActivate =
                              clicks_.limited([this] { activateContent(platform::HitTarget::timerButton); }),
                          .menuEntryClicked = clicks_.limited(
                              [this](int index) { qt::activateMenuEntry(content_.get(), index); }),
                      }) {
  // One picture for a burst of panel reports: one for each, at up to 0.5 MB, would pile up on the bus
  // faster than the daemon takes them when the name's owner sends reports without end.
  panelRedraw_.setSingleShot(true);
  panelRedraw_.setInterval(panelRedrawDelay);
  QObject::connect(&panelRedraw_, &QTimer::timeout, [this] { refresh(); });
  panelConnection_ = QObject::connect(&tracker_, &ShellExtensionTracker::panelChanged, [this] {
    if (!panelRedraw_.isActive()) panelRedraw_.start();
  });
}

GnomeShellButton::~GnomeShellButton() {
  QObject::disconnect(panelConnection_);
}

platform::Rect GnomeShellButton::bounds() const {
  const qt::PixelRect& item = tracker_.panel().itemFrame;
  const double ratio = layout_().devicePixelRatio;
  return platform::makeRect(0, 0, item.width / ratio, item.height / ratio);
}

const platform::Window* GnomeShellButton::window() const {
  const ShellPanel& panel = tracker_.panel();
  if (!published() || isEmpty(panel.itemFrame) || isEmpty(panel.frame)) return nullptr;
  return &window_;
}

platform::Rect GnomeShellButton::convertRectToWindow(platform::Rect rect) const {
  const ShellPanel& panel = tracker_.panel();
  const double ratio = layout_().devicePixelRatio;
  const platform::Point offset{(panel.itemFrame.x - panel.frame.x) / ratio,
                               (panel.itemFrame.y - panel.frame.y) / ratio};
  return qt::windowFromView(rect, offset, panel.frame.height / ratio);
}

void GnomeShellButton::addSubview(platform::View& child) {
  content_ = qt::followContent(child, [this] { refresh(); });
  refresh();
}

void GnomeShellButton::setPublished(bool published) {
  publishWanted_ = published;
  refresh();
}

// As wide as the whole row and as high as the panel's room, in logical pixels of the shell.
platform::Size GnomeShellButton::cell() const {
  const ShellPanel& panel = tracker_.panel();
  return platform::Size{std::ceil(content_->render().size.width),
                        std::ceil(static_cast<double>(panel.height) / panel.scale)};
}

// The whole row, centred in the panel's height as on every other host; the row squeezed for a bar too
// low for it. The content would lay out a tile for a cell that is not twice as wide as high.
bool GnomeShellButton::rowFits() const {
  return cell().height >= content_->render().size.height;
}

platform::RenderDescription GnomeShellButton::description() const {
  return rowFits() ? content_->render() : content_->render(cell(), tracker_.panel().scale);
}

void GnomeShellButton::refresh() {
  const bool showable = publishWanted_ && content_ && tracker_.panel().usable();
  if (showable) {
    const platform::Size size = cell();
    const double scale = tracker_.panel().scale;
    const QImage image = qt::renderItemImage(
        description(), QSize(static_cast<int>(size.width), static_cast<int>(size.height)), scale);
    ShellPresentation presentation;
    presentation.image = itemImageFrom(image);
    presentation.description = qt::describeInWords(content_->render());
    for (const platform::MenuEntry& entry : content_->menu())
      presentation.menuEntries.push_back(QString::fromStdString(entry.title));
    item_.show(presentation);
  }
  item_.setPublished(showable);
}

void GnomeShellButton::click(int x, int y) {
  if (!content_ || !tracker_.panel().usable()) return;
  // The centre of the pixel clicked, in the logical pixels the picture was drawn in.
  const double scale = tracker_.panel().scale;
  const platform::Point point{(x + 0.5) / scale, (y + 0.5) / scale};
  // Off the picture's segments (the panel button's padding) the click is on the item itself.
  if (!clickContent(point) && action_) action_();
}

// The painter centres the row in the cell on whole points; the content's hit test takes the row's own.
bool GnomeShellButton::clickContent(platform::Point point) {
  const platform::Size size = cell();
  if (!rowFits()) return content_->click(point, size, tracker_.panel().scale);
  const platform::Point offset = platform::centringOffset(size, content_->render().size);
  return content_->click(platform::Point{point.x - offset.x, point.y - offset.y});
}

void GnomeShellButton::activateContent(platform::HitTarget target) {
  if (content_) content_->activate(target);
}

}  // namespace pellmor::gnome
