#pragma once

#include <functional>
#include <memory>

#include "Platform/Geometry.h"
#include "Platform/HostedContent.h"

namespace pellmor::platform {

class Window {
 public:
  virtual ~Window() = default;

  // The window's rectangle in global screen coordinates.
  virtual Rect frame() const = 0;
  // From window coordinates to global screen coordinates.
  virtual Rect convertRectToScreen(Rect rect) const = 0;
};

class View {
 public:
  virtual ~View() = default;

  virtual Rect frame() const = 0;  // in the parent's coordinates
  virtual void setFrame(Rect frame) = 0;
  virtual Rect bounds() const = 0;  // in the view's own coordinates
  // The window that shows the view, or null.
  virtual const Window* window() const = 0;
  // From the view's coordinates to its window's coordinates.
  virtual Rect convertRectToWindow(Rect rect) const = 0;
  // The child stays owned by the caller, which keeps it alive while it is shown.
  virtual void addSubview(View& child) = 0;
};

class Button : public View {
 public:
  // Target and action: the button calls the action on the main thread when clicked.
  virtual void setAction(std::function<void()> action) = 0;
};

// A view that renders a content tree as its root, at the frame it is given, centred.
class HostingView : public View {};

class StatusBarItem {
 public:
  virtual ~StatusBarItem() = default;

  // The item's button, or null when the platform could not make one.
  virtual Button* button() = 0;
};

// The system status bar (the menu bar's extras area, or the tray).
class StatusBar {
 public:
  virtual ~StatusBar() = default;

  static constexpr double variableLength = -1.0;

  // A new item in the bar; always present.
  virtual std::unique_ptr<StatusBarItem> statusItemWithLength(double length) = 0;
  // A host view whose root is the content; installs the content into it.
  virtual std::unique_ptr<HostingView> makeHostingView(std::shared_ptr<HostedContent> root) = 0;
};

}  // namespace pellmor::platform
