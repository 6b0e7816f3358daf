#include "Backends/Desktop/DisplayProbe.h"

#include <sys/stat.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace pellmor::desktop {
namespace {

bool isSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

constexpr const char* qtPlatformVariable = "QT_QPA_PLATFORM";

}  // namespace

bool displayAvailable() {
  if (!isSet("DISPLAY")) return false;
  // xcb_connect has no timeout of its own: it runs on a thread of its own, which is left to finish by
  // itself when the server does not answer in time (it ends with the process, or with an exec).
  const auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> answered = answer->get_future();
  std::thread([answer] {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    answer->set_value(xcb_connection_has_error(connection) == 0);
    xcb_disconnect(connection);
  }).detach();
  return answered.wait_for(displayAnswerTimeout) == std::future_status::ready && answered.get();
}

void setQtPlatform(bool xDisplay) {
  setenv(qtPlatformVariable, xDisplay ? "xcb" : "offscreen", 1);
}

bool xDisplayHandedOver() {
  const char* platform = std::getenv(qtPlatformVariable);
  const std::string_view chosen = platform != nullptr ? platform : "";
  if (chosen == "xcb") return true;
  if (chosen == "offscreen") return false;
  return displayAvailable();
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
