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

bool isReparented(WindowId window) {
  xcb_connection_t* const c = connection();
  const ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
  return tree && tree->parent != tree->root && tree->parent != XCB_WINDOW_NONE;
}

std::optional<PixelSize> sizeOf(WindowId window) {
  xcb_connection_t* const c = connection();
  const ReplyPtr<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
  if (!geometry) return std::nullopt;
  return PixelSize{geometry->width, geometry->height};
}

WindowId parentOf(WindowId window) {
  xcb_connection_t* const c = connection();
  const ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
  return tree ? tree->parent : 0;
}

std::optional<PixelSize> parentSizeOf(WindowId window) {
  const WindowId parent = parentOf(window);
  if (parent == 0) return std::nullopt;
  return sizeOf(parent);
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
