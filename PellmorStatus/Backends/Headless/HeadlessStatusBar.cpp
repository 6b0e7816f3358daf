#include "Backends/Headless/HeadlessStatusBar.h"

#include <utility>

namespace pellmor {
namespace {

class ButtonlessItem : public platform::StatusBarItem {
 public:
  platform::Button* button() override { return nullptr; }
};

}  // namespace

std::unique_ptr<platform::StatusBarItem> HeadlessStatusBar::statusItemWithLength(double) {
  return std::make_unique<ButtonlessItem>();
}

std::unique_ptr<platform::HostingView> HeadlessStatusBar::makeHostingView(
    std::shared_ptr<platform::HostedContent> root) {
  return std::make_unique<HeadlessHostingView>(std::move(root));
}

HeadlessHostingView::HeadlessHostingView(std::shared_ptr<platform::HostedContent> root)
    : root_(std::move(root)) {
  root_->install([] {});  // nothing to redraw without a display
}

platform::Rect HeadlessHostingView::convertRectToWindow(platform::Rect rect) const {
  rect.origin.x += frame_.origin.x;
  rect.origin.y += frame_.origin.y;
  return rect;
}

}  // namespace pellmor
