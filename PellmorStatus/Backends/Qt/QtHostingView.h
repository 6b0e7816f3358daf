#pragma once

#include "Backends/BackendLayer.h"

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Platform/Drawing.h"
#include "Platform/HostedContent.h"
#include "Platform/StatusBar.h"

class QWidget;

namespace pellmor::qt {

class HostWidget;

// Where a menu of the given size opens for an item at `item` on a screen: below the item, else above it,
// else beside it; never over it, and within the screen as far as it fits.
QPoint menuPosition(QRect item, QSize menu, QRect screen);

// For the front ends that draw the content themselves: the content of `child` when it is a QtHostingView,
// with `changed` called after every change of what it shows and once at once. Null for any other view.
std::shared_ptr<platform::HostedContent> followContent(platform::View& child, std::function<void()> changed);
// The exact size in points of the cell that `hostWidget` (a QtHostingView's widget) fills, where its whole
// points only come near it: a tray slot of 22 pixels at a pixel ratio of 1.5 is 14.67 points. Any other
// widget is left alone.
void setExactCell(QWidget* hostWidget, QSizeF points);
// Runs the entry of the content's menu at `index`, as a host on the bus names it by its place in the menu
// it was shown (the menu never changes its entries); an index off the menu, or no content, does nothing.
void activateMenuEntry(platform::HostedContent* content, int index);

// The host view on Qt: a child widget of the item's button that draws the content's render description with
// QPainter, centred in its frame, and hands left clicks to the content.
class QtHostingView final : public platform::HostingView {
 public:
  explicit QtHostingView(std::shared_ptr<platform::HostedContent> root);
  ~QtHostingView() override;
  QtHostingView(const QtHostingView&) = delete;
  QtHostingView& operator=(const QtHostingView&) = delete;

  platform::Rect frame() const override;
  void setFrame(platform::Rect frame) override;
  platform::Rect bounds() const override;
  const platform::Window* window() const override;
  platform::Rect convertRectToWindow(platform::Rect rect) const override;
  void addSubview(platform::View& child) override;

  // The widget, for the button that takes it as a child. Null once the button has destroyed it.
  QWidget* widget() const;
  // Each observer is called after every change of what the content shows, and once at once with the
  // current state.
  void addDisplayObserver(std::function<void(const platform::RenderDescription&)> observer);
  // The content the host renders, for front ends that draw it themselves.
  const std::shared_ptr<platform::HostedContent>& content() const { return content_; }
  // Runs when a click lands on no segment of the content.
  void setFallbackAction(std::function<void()> action);
  // Where the item shows on screen, in Qt's global coordinates, for placing its menu beside it rather than
  // over it; without an answer the menu opens at the pointer.
  void setMenuAnchor(std::function<std::optional<QRect>()> anchor);
  // The button that holds the host, for geometry questions.
  void setSuperview(platform::View* superview) { superview_ = superview; }

 private:
  std::shared_ptr<platform::HostedContent> content_;
  QPointer<HostWidget> widget_;
  platform::Rect frame_;
  platform::View* superview_ = nullptr;
};

}  // namespace pellmor::qt
