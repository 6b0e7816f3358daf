#include "Backends/XEmbed/X11Window.h"

#include <xcb/xcb_icccm.h>

#include <utility>

#include "Backends/XEmbed/XcbSupport.h"

namespace pellmor::xembed {

std::optional<qt::PixelRect> geometryOnRoot(WindowId window) {
  xcb_connection_t* const c = connection();
  const ReplyPtr<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
  if (!geometry) return std::nullopt;
  const ReplyPtr<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, window, geometry->root, 0, 0), nullptr));
  if (!origin) return std::nullopt;
  return qt::PixelRect{static_cast<double>(origin->dst_x), static_cast<double>(origin->dst_y),
                       static_cast<double>(geometry->width), static_cast<double>(geometry->height)};
}

WindowId topLevelAncestor(WindowId window) {
  xcb_connection_t* const c = connection();
  for (WindowId current = window;;) {
    const ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, current), nullptr));
    if (!tree) return 0;
    if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) return current;
    current = tree->parent;
  }
}

namespace {

bool insideViewableWindow(xcb_connection_t* c, WindowId window) {
  const ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
  if (!tree || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) return false;
  const ReplyPtr<xcb_get_window_attributes_reply_t> parent(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, tree->parent), nullptr));
  return parent && parent->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool fullyTransparent(xcb_connection_t* c, WindowId window) {
  // _NET_WM_WINDOW_OPACITY: 0 is fully transparent, 0xffffffff opaque; a compositor draws it so.
  const ReplyPtr<xcb_get_property_reply_t> opacity(xcb_get_property_reply(
      c, xcb_get_property(c, 0, window, internAtom("_NET_WM_WINDOW_OPACITY"), XCB_ATOM_CARDINAL, 0, 1),
      nullptr));
  return opacity && xcb_get_property_value_length(opacity.get()) >= 4 &&
         *static_cast<const uint32_t*>(xcb_get_property_value(opacity.get())) == 0;
}

// A cell of a window that the screen can show: the cell on the root window, the root window's size, and
// the window's panel (its top-level ancestor).
struct PlacedCell {
  PixelRect onRoot;
  PixelSize screen;
  WindowId panel = 0;
};

std::optional<PlacedCell> placeViewableCell(WindowId window, PixelRect cell) {
  xcb_connection_t* const c = connection();
  if (cell.empty() || !insideViewableWindow(c, window)) return std::nullopt;
  const WindowId panel = topLevelAncestor(window);
  if (fullyTransparent(c, panel)) return std::nullopt;
  const ReplyPtr<xcb_get_geometry_reply_t> screen(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, rootWindow()), nullptr));
  const ReplyPtr<xcb_translate_coordinates_reply_t> corner(xcb_translate_coordinates_reply(
      c,
      xcb_translate_coordinates(c, window, rootWindow(), static_cast<int16_t>(cell.x),
                                static_cast<int16_t>(cell.y)),
      nullptr));
  if (!screen || !corner) return std::nullopt;
  return PlacedCell{PixelRect{corner->dst_x, corner->dst_y, cell.width, cell.height},
                    PixelSize{screen->width, screen->height}, panel};
}

// A part of the cell, in the cell's coordinates, back in the window's; nothing when it is empty.
std::optional<PixelRect> partInWindow(PixelRect cell, PixelRect part) {
  if (part.empty()) return std::nullopt;
  return PixelRect{cell.x + part.x, cell.y + part.y, part.width, part.height};
}

}  // namespace

std::optional<PixelRect> shownOnScreen(WindowId window, PixelRect cell) {
  const std::optional<PlacedCell> placed = placeViewableCell(window, cell);
  if (!placed) return std::nullopt;
  // The screen as a parent of the cell: what lies beyond its edges is cut off.
  return partInWindow(cell, visibleCell(placed->onRoot, placed->screen));
}

std::optional<PixelRect> shownByPanel(WindowId window, PixelRect cell) {
  const std::optional<PlacedCell> placed = placeViewableCell(window, cell);
  if (!placed) return std::nullopt;
  xcb_connection_t* const c = connection();
  // A child of the root window: its position is on the root window.
  const ReplyPtr<xcb_get_geometry_reply_t> panel(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, placed->panel), nullptr));
  if (!panel) return std::nullopt;
  const PixelRect panelOnRoot{panel->x, panel->y, panel->width, panel->height};
  return partInWindow(cell, partShownByPanel(placed->onRoot, panelOnRoot, placed->screen));
}

void withdraw(WindowId window) {
  xcb_unmap_window(connection(), window);
  xcb_flush(connection());
}

void resizeWindow(WindowId window, int width, int height) {
  const uint32_t size[] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
  xcb_configure_window(connection(), window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
  xcb_flush(connection());
}

void withdrawToRoot(WindowId window) {
  xcb_connection_t* const c = connection();
  xcb_unmap_window(c, window);
  xcb_reparent_window(c, window, rootWindow(), 0, 0);
  xcb_flush(c);
}

void pinSizeHints(WindowId window, int width, int height) {
  xcb_size_hints_t hints{};
  xcb_icccm_size_hints_set_size(&hints, 0, width, height);
  xcb_icccm_size_hints_set_min_size(&hints, width, height);
  xcb_icccm_size_hints_set_max_size(&hints, width, height);
  xcb_icccm_size_hints_set_win_gravity(&hints, XCB_GRAVITY_STATIC);
  xcb_icccm_set_wm_normal_hints(connection(), window, &hints);
  xcb_flush(connection());
}

void showParentBackground(WindowId window) {
  const uint32_t background = XCB_BACK_PIXMAP_PARENT_RELATIVE;
  xcb_change_window_attributes(connection(), window, XCB_CW_BACK_PIXMAP, &background);
  xcb_flush(connection());
}

X11Window::X11Window(std::function<WindowId()> window, std::function<qt::ScreenLayout()> layout)
    : window_(std::move(window)), layout_(std::move(layout)) {}

platform::Rect X11Window::frame() const {
  const std::optional<qt::PixelRect> pixels = geometryOnRoot(window_());
  return pixels ? qt::globalFromPixels(*pixels, layout_()) : platform::Rect{};
}

platform::Rect X11Window::convertRectToScreen(platform::Rect rect) const {
  return qt::screenFromWindow(rect, frame());
}

}  // namespace pellmor::xembed
