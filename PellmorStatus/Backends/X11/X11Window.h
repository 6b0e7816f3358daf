#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "Backends/X11/GlobalCoordinates.h"
#include "Platform/StatusBar.h"

namespace pellmor::x11 {

using WindowId = std::uint32_t;

// Where a window is, as the X server says: Qt's own idea (mapToGlobal) stops following a window once a
// tray has reparented it.
std::optional<PixelRect> geometryOnRoot(WindowId window);
// The ancestor of the window that is a child of the root window (the tray's panel for a docked item), or
// the window itself when it is a child of the root; 0 when the server does not know the window.
WindowId topLevelAncestor(WindowId window);
// Whether the window currently sits inside another window rather than directly on the root window.
bool isReparented(WindowId window);

// The size of the window's parent (the tray's slot for a docked item), in pixels; nothing for a window
// on the root window.
std::optional<PixelRect> slotGeometry(WindowId window);
// Ends an embedding from the client's side (XEmbed: unmap, then reparent to the root window).
void withdrawToRoot(WindowId window);

// Pins the window's size in its WM_NORMAL_HINTS (minimum = maximum = size): trays size an icon's slot
// from the minimum size and follow changes of the property.
void pinSizeHints(WindowId window, int width, int height);

// Lets the X server fill the window with its parent's background wherever nothing has been drawn yet
// (background ParentRelative). Only for a window of its parent's depth.
void showParentBackground(WindowId window);

// A top-level X11 window seen through the platform's window interface.
class X11Window : public platform::Window {
 public:
  X11Window(WindowId window, std::function<ScreenLayout()> layout);

  WindowId id() const { return window_; }
  platform::Rect frame() const override;
  platform::Rect convertRectToScreen(platform::Rect rect) const override;

 private:
  WindowId window_;
  std::function<ScreenLayout()> layout_;
};

}  // namespace pellmor::x11
