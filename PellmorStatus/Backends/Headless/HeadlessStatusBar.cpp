#include "Backends/Headless/HeadlessStatusBar.h"

#include <algorithm>
#include <utility>

namespace pellmor {
namespace {

platform::Rect offsetBy(platform::Rect rect, platform::Point offset) {
  rect.origin.x += offset.x;
  rect.origin.y += offset.y;
  return rect;
}

}  // namespace

std::unique_ptr<platform::StatusBarItem> HeadlessStatusBar::statusItemWithLength(double) {
  // The item's length is the content's width, which the controller sets on the button.
  if (!menuBar_) return std::make_unique<HeadlessStatusBarItem>(nullptr);
  return std::make_unique<HeadlessStatusBarItem>(std::make_unique<HeadlessButton>(
      std::make_unique<HeadlessWindow>(menuBar_->windowFrame), menuBar_->buttonOrigin));
}

std::unique_ptr<platform::HostingView> HeadlessStatusBar::makeHostingView(
    std::shared_ptr<platform::HostedContent> root) {
  return std::make_unique<HeadlessHostingView>(std::move(root));
}

platform::Rect HeadlessWindow::convertRectToScreen(platform::Rect rect) const {
  return offsetBy(rect, frame_.origin);
}

HeadlessHostingView::HeadlessHostingView(std::shared_ptr<platform::HostedContent> root)
    : root_(std::move(root)) {
  root_->install([] {});  // nothing to redraw without a display
}

HeadlessHostingView::~HeadlessHostingView() {
  if (parent_ != nullptr) parent_->removeSubview(*this);
}

const platform::Window* HeadlessHostingView::window() const {
  return parent_ ? parent_->window() : nullptr;
}

platform::Rect HeadlessHostingView::convertRectToWindow(platform::Rect rect) const {
  const platform::Rect inParent = offsetBy(rect, geometry_.frame().origin);
  return parent_ ? parent_->convertRectToWindow(inParent) : inParent;
}

platform::Point HeadlessHostingView::contentOrigin() const {
  const platform::Size row = root_->render().size;
  const platform::Rect frame = geometry_.frame();
  return platform::Point{(frame.width() - row.width) / 2, (frame.height() - row.height) / 2};
}

void HeadlessHostingView::click(platform::Point point) {
  const platform::Point origin = contentOrigin();
  if (root_->click(platform::Point{point.x - origin.x, point.y - origin.y})) return;
  if (parent_ != nullptr) parent_->performClick();
}

HeadlessButton::HeadlessButton(std::unique_ptr<HeadlessWindow> window, platform::Point origin)
    : window_(std::move(window)), origin_(origin) {}

HeadlessButton::~HeadlessButton() {
  for (platform::View* child : subviews_) {
    if (auto* host = dynamic_cast<HeadlessHostingView*>(child)) host->setParent(nullptr);
  }
}

platform::Rect HeadlessButton::convertRectToWindow(platform::Rect rect) const {
  return offsetBy(rect, origin_);
}

void HeadlessButton::addSubview(platform::View& child) {
  subviews_.push_back(&child);
  if (auto* host = dynamic_cast<HeadlessHostingView*>(&child)) host->setParent(this);
}

void HeadlessButton::removeSubview(const platform::View& child) {
  std::erase(subviews_, &child);
}

void HeadlessButton::performClick() {
  if (action_) action_();
}

}  // namespace pellmor
