#pragma once

#include "Backends/BackendLayer.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "Platform/Drawing.h"
#include "Platform/HostedContent.h"
#include "Platform/StatusBar.h"

class QWidget;

namespace pellmor::qt {

class HostWidget;

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
  // The button that holds the host, for geometry questions.
  void setSuperview(platform::View* superview) { superview_ = superview; }

 private:
  std::shared_ptr<platform::HostedContent> content_;
  QPointer<HostWidget> widget_;
  platform::Rect frame_;
  platform::View* superview_ = nullptr;
};

}  // namespace pellmor::qt
