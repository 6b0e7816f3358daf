#include "Backends/Desktop/DisplayProbe.h"

#include <sys/stat.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>

namespace pellmor::desktop {
namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool displayAvailable() {
  if (!isSet("DISPLAY")) return false;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool usable = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return usable;
}

bool sessionBusAvailable() {
  if (isSet("DBUS_SESSION_BUS_ADDRESS")) return true;
  if (!isSet("XDG_RUNTIME_DIR")) return false;
  const std::string socket = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/bus";
  struct stat info;
  return stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

bool waylandSession() {
  return isSet("WAYLAND_DISPLAY");
}

}  // namespace pellmor::desktop
