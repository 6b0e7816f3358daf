#include "StatusItemManager.h"

#include <utility>

#include "Support/Output.h"

namespace pellmor {
namespace {

using platform::makeRect;
using platform::Rect;

constexpr double itemHeight = StatusItemManager::initialHostSize.height;

Rect itemFrame(double width) {
  return makeRect(0, 0, width, itemHeight);
}

}  // namespace

StatusItemManager::StatusItemManager(Environment environment) : environment_(std::move(environment)) {}

StatusItemManager::~StatusItemManager() {
  releaseStatusItem();
}

void StatusItemManager::setupStatusItem() {
  releaseStatusItem();
  statusItem_ = environment_.statusBar->statusItemWithLength(platform::StatusBar::variableLength);

  // Installing the content into its host is the channel's first use.
  auto content = std::make_shared<StatusItem>(environment_.content, sizePassthrough_);
  std::unique_ptr<platform::HostingView> host = environment_.statusBar->makeHostingView(std::move(content));
  host->setFrame(itemFrame(initialHostSize.width));

  platform::Button* button = statusItem_->button();
  if (button == nullptr) {
    printLine("Failed to create NSStatusItem button");
    return;  // the host view is dropped; the empty item stays in the bar
  }
  button->setAction([this] { toggleApp(); });
  button->setFrame(host->frame());
  button->addSubview(*host);
  hostingView_ = std::move(host);

  // Owned by the controller, so the handler never outlives it.
  sizeCancellable_ = sizePassthrough_->subscribe([this](platform::Size size) { followSize(size); });
}

void StatusItemManager::toggleApp() {
  channel().sendToggleAppMessage();
}

std::optional<PositionRecord> StatusItemManager::menubarPositionInfo() const {
  if (!statusItem_) return std::nullopt;
  const platform::Button* button = statusItem_->button();
  if (button == nullptr) return std::nullopt;
  const platform::Window* window = button->window();
  if (window == nullptr) return std::nullopt;
  const Rect windowFrame = window->frame();
  const Rect buttonOnScreen = window->convertRectToScreen(button->convertRectToWindow(button->bounds()));
  const std::vector<Rect> screens = environment_.screens->screens();
  if (screens.empty()) return std::nullopt;
  const Rect& firstScreen = screens.front();
  // Global coordinates grow upwards from the first screen's bottom edge; the record's y grows downwards
  // from its top edge.
  return PositionRecord{
      .x = buttonOnScreen.origin.x,
      .y = firstScreen.height() - (windowFrame.origin.y + windowFrame.height()),
      .width = buttonOnScreen.width(),
      .height = windowFrame.height(),
  };
}

void StatusItemManager::followSize(platform::Size size) {
  // Every width is applied as it comes; the item keeps its own height.
  const Rect frame = itemFrame(size.width);
  if (hostingView_) hostingView_->setFrame(frame);
  if (statusItem_) {
    if (platform::Button* button = statusItem_->button()) button->setFrame(frame);
  }
}

void StatusItemManager::releaseStatusItem() {
  // The host view leaves the button before the item that holds the button goes.
  sizeCancellable_.reset();
  hostingView_.reset();
  statusItem_.reset();
}

FIFOManager& StatusItemManager::channel() {
  return environment_.channel();
}

}  // namespace pellmor
