#include "Backends/X11/DisplayProbe.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace pellmor {

bool displayAvailable() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return false;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool usable = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return usable;
}

}  // namespace pellmor
