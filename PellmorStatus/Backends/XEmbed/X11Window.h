#pragma once

#include "Backends/BackendLayer.h"

#include <cstdint>
#include <functional>
#include <optional>

#include "Backends/Qt/GlobalCoordinates.h"
#include "Backends/XEmbed/TrayCell.h"
#include "Platform/StatusBar.h"

namespace pellmor::xembed {

// Where a window is, as the X server says: Qt's own idea (mapToGlobal) stops following a window once a
// tray has reparented it.
std::optional<qt::PixelRect> geometryOnRoot(WindowId window);
// The ancestor of the window that is a child of the root window (the tray's panel for a docked item), or
// the window itself when it is a child of the root; 0 when the server does not know the window.
WindowId topLevelAncestor(WindowId window);
// The part of the cell (in the window's coordinates) that the screen shows: nothing when the window is
// not inside a viewable tray window, when the tray's top-level window is fully transparent (as the
// containers of XEmbed-to-StatusNotifierItem proxies are), or when it lies off the screen.
std::optional<PixelRect> shownOnScreen(WindowId window, PixelRect cell);
// The same, except that a panel slid out past an edge of the screen, as an auto-hiding panel hides, counts
// as showing what it shows once it slides back in.
std::optional<PixelRect> shownByPanel(WindowId window, PixelRect cell);

// Unmaps the window at once, whatever Qt believes about it: the X server maps a window again by itself
// when a tray that embedded it exits (the tray's save-set).
void withdraw(WindowId window);
// Ends an embedding from the client's side (XEmbed: unmap, then reparent to the root window), so the
// tray drops the item's slot.
void withdrawToRoot(WindowId window);

// Sets the window's size on the server, whatever Qt believes it to be: a tray may have changed it behind
// Qt's back.
void resizeWindow(WindowId window, int width, int height);

// Pins the window's size in its WM_NORMAL_HINTS (minimum = maximum = size): trays size an icon's slot
// from the minimum size and follow changes of the property.
void pinSizeHints(WindowId window, int width, int height);

// Lets the X server fill the window with its parent's background wherever nothing has been drawn yet
// (background ParentRelative). Only for a window of its parent's depth.
void showParentBackground(WindowId window);

// A top-level X11 window seen through the platform's window interface. The window is looked up again for
// every question, since a tray may reparent the item at any time.
class X11Window : public platform::Window {
 public:
  X11Window(std::function<WindowId()> window, std::function<qt::ScreenLayout()> layout);

  platform::Rect frame() const override;
  platform::Rect convertRectToScreen(platform::Rect rect) const override;

 private:
  std::function<WindowId()> window_;
  std::function<qt::ScreenLayout()> layout_;
};

}  // namespace pellmor::xembed
