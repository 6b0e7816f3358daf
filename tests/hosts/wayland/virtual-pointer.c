// Gives a headless wlroots compositor's seat a pointer, so that `swaymsg seat - cursor ...` can move and
// click it: creates one virtual pointer and stays connected until it is stopped. Debian 12 packages no
// tool that does this (wlrctl is missing, ydotool needs /dev/uinput).
#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

struct globals {
  struct wl_seat* seat;
  struct zwlr_virtual_pointer_manager_v1* manager;
};

static void announced(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                      uint32_t version) {
  (void)version;
  struct globals* globals = data;
  if (strcmp(interface, wl_seat_interface.name) == 0)
    globals->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    globals->manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void removed(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

int main(void) {
  struct wl_display* display = wl_display_connect(NULL);
  if (display == NULL) {
    fprintf(stderr, "virtual-pointer: no Wayland display\n");
    return 1;
  }
  struct globals globals = {0};
  static const struct wl_registry_listener listener = {announced, removed};
  wl_registry_add_listener(wl_display_get_registry(display), &listener, &globals);
  wl_display_roundtrip(display);
  if (globals.manager == NULL) {
    fprintf(stderr, "virtual-pointer: the compositor offers no zwlr_virtual_pointer_manager_v1\n");
    return 1;
  }
  zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
  wl_display_roundtrip(display);
  printf("ready\n");
  fflush(stdout);
  while (wl_display_dispatch(display) != -1) {
  }
  return 0;
}
