#include "Backends/XEmbed/XcbSupport.h"

#include <QGuiApplication>

namespace pellmor::xembed {

xcb_connection_t* connection() {
  auto* native = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return native != nullptr ? native->connection() : nullptr;
}

int defaultScreenNumber() {
  // Qt opens the display named by DISPLAY; its screen part picks the default screen.
  char* host = nullptr;
  int display = 0;
  int screen = 0;
  if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) return 0;
  std::free(host);
  return screen;
}

xcb_window_t rootWindow() {
  const xcb_setup_t* setup = xcb_get_setup(connection());
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
  for (int index = defaultScreenNumber(); index > 0 && screens.rem > 1; --index)
    xcb_screen_next(&screens);
  return screens.data->root;
}

xcb_atom_t internAtom(std::string_view name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection(), 0, static_cast<uint16_t>(name.size()), name.data());
  const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection(), cookie, nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace pellmor::xembed
