// A system tray manager (freedesktop System Tray protocol over XEmbed) that misbehaves on purpose, for the
// end-to-end tests of the companion's tray button. It embeds like any tray, except where a flag says
// otherwise:
//   --exit-after MS         exits MS milliseconds after taking the selection (its slots go with it)
//   --destroy-slot-after MS destroys the slot with the icon inside, MS milliseconds after embedding it
//   --hand-back             reparents each icon into a slot and straight back to the root window
//   --no-notify             never sends XEMBED_EMBEDDED_NOTIFY
//   --slot WxH              gives every icon a slot of that size and resizes the icon to it
//   --map-under-grab MS     once the icon listens to its slot, holds the X server, maps the icon and only MS
//                           milliseconds later resizes it to the slot before letting go: the icon's
//                           requests in answer to the map are carried out after that resize
//   --claim-size WxH        tells each icon it embeds, in a ConfigureNotify of its own, that it has that size
//   --transparent           puts its panel at 0,0 with _NET_WM_WINDOW_OPACITY 0 (KDE's proxy does so: on a
//                           desktop without a compositor, an invisible window there takes the clicks)
//   --forge-manager         takes no selection: sends one MANAGER message naming a window that does not
//                           own it, then exits
// Its panel window is named "hostile-tray". Every dock request is printed as a line "dock <milliseconds since
// start>" on standard output. Slots are not put in the save-set, so the X server destroys an icon still
// inside one when the tray exits.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace {

// System Tray Protocol Specification 0.3 and XEmbed Protocol Specification 0.5.
constexpr uint32_t systemTrayRequestDock = 0;
constexpr uint32_t xembedEmbeddedNotify = 0;

struct Options {
  long exitAfter = -1;
  long destroySlotAfter = -1;
  long mapUnderGrab = -1;
  bool handBack = false;
  bool notify = true;
  int slotWidth = 0;  // 0: the icon's own size
  int slotHeight = 0;
  int claimedWidth = 0;  // 0: no claim
  int claimedHeight = 0;
  bool transparent = false;
  bool forgeManager = false;
};

Options parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : "0";
    if (arg == "--exit-after")
      options.exitAfter = std::atol(next), ++i;
    else if (arg == "--destroy-slot-after")
      options.destroySlotAfter = std::atol(next), ++i;
    else if (arg == "--map-under-grab")
      options.mapUnderGrab = std::atol(next), ++i;
    else if (arg == "--hand-back")
      options.handBack = true;
    else if (arg == "--no-notify")
      options.notify = false;
    else if (arg == "--transparent")
      options.transparent = true;
    else if (arg == "--forge-manager")
      options.forgeManager = true;
    else if (arg == "--slot" && std::sscanf(next, "%dx%d", &options.slotWidth, &options.slotHeight) == 2)
      ++i;
    else if (arg == "--claim-size" &&
             std::sscanf(next, "%dx%d", &options.claimedWidth, &options.claimedHeight) == 2)
      ++i;
    else {
      std::fprintf(stderr, "hostile-tray: unknown argument %s\n", argv[i]);
      std::exit(2);
    }
  }
  return options;
}

struct FreeDeleter {
  void operator()(void* pointer) const noexcept { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

class Tray {
 public:
  Tray(xcb_connection_t* c, Options options) : c_(c), options_(options) {
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    selection_ = atom("_NET_SYSTEM_TRAY_S0");
    opcode_ = atom("_NET_SYSTEM_TRAY_OPCODE");
    xembed_ = atom("_XEMBED");
    manager_ = atom("MANAGER");
    panel_ = xcb_generate_id(c_);
    const uint32_t values[] = {0x333333, 1, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
    const auto x = static_cast<int16_t>(options_.transparent ? 0 : screen_->width_in_pixels - 200);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, panel_, screen_->root, x, 0, 200, 32, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    const std::string_view name = "hostile-tray";
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, panel_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(name.size()), name.data());
    if (options_.transparent) {
      const uint32_t opacity = 0;
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, panel_, atom("_NET_WM_WINDOW_OPACITY"),
                          XCB_ATOM_CARDINAL, 32, 1, &opacity);
    }
    xcb_map_window(c_, panel_);
  }

  void forgeManagerMessage() {
    // A window of ours that owns nothing, announced as the new manager.
    announce(panel_);
    xcb_flush(c_);
  }

  void takeSelection() {
    xcb_set_selection_owner(c_, panel_, selection_, XCB_CURRENT_TIME);
    announce(panel_);
    xcb_flush(c_);
  }

  void run() {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      const long now =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
              .count();
      if (options_.exitAfter >= 0 && now >= options_.exitAfter) return;
      if (slot_ != 0 && options_.destroySlotAfter >= 0 && now - embeddedAt_ >= options_.destroySlotAfter) {
        xcb_destroy_window(c_, slot_);
        xcb_flush(c_);
        slot_ = 0;
      }
      while (const Reply<xcb_generic_event_t> event{xcb_poll_for_event(c_)})
        handle(*event, now);
      if (xcb_connection_has_error(c_)) return;
      // Polling keeps the tray free of timers; 2 ms is far below every timing the tests look at.
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

 private:
  xcb_atom_t atom(const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c_, xcb_intern_atom(c_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }

  void send(xcb_window_t to, xcb_atom_t type, uint32_t d0, uint32_t d1, uint32_t d2, uint32_t mask) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = to;
    event.type = type;
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = d2;
    xcb_send_event(c_, 0, to, mask, reinterpret_cast<const char*>(&event));
  }

  // A notice as the X server would send it, of a size the icon does not have.
  void claimSize(xcb_window_t icon) {
    xcb_configure_notify_event_t event{};
    event.response_type = XCB_CONFIGURE_NOTIFY;
    event.event = icon;
    event.window = icon;
    event.width = static_cast<uint16_t>(options_.claimedWidth);
    event.height = static_cast<uint16_t>(options_.claimedHeight);
    xcb_send_event(c_, 0, icon, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&event));
  }

  void announce(xcb_window_t window) {
    send(screen_->root, manager_, XCB_CURRENT_TIME, selection_, window, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
  }

  void handle(const xcb_generic_event_t& event, long now) {
    if ((event.response_type & ~0x80) != XCB_CLIENT_MESSAGE) return;
    const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
    if (message.type != opcode_ || message.data.data32[1] != systemTrayRequestDock) return;
    std::printf("dock %ld\n", now);
    std::fflush(stdout);
    embed(message.data.data32[2], now);
  }

  void embed(xcb_window_t icon, long now) {
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c_, xcb_get_geometry(c_, icon), nullptr));
    if (!geometry) return;
    const uint16_t width =
        options_.slotWidth > 0 ? static_cast<uint16_t>(options_.slotWidth) : geometry->width;
    const uint16_t height =
        options_.slotHeight > 0 ? static_cast<uint16_t>(options_.slotHeight) : geometry->height;
    if (slot_ != 0) xcb_destroy_window(c_, slot_);
    slot_ = xcb_generate_id(c_);
    const uint32_t background = 0x333333;
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, slot_, panel_, 4, 4, width, height, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, XCB_CW_BACK_PIXEL, &background);
    xcb_map_window(c_, slot_);
    xcb_reparent_window(c_, icon, slot_, 0, 0);
    const bool underGrab = options_.mapUnderGrab >= 0;
    if (underGrab)
      grabOnceTheIconListens();
    else if (options_.slotWidth > 0)
      resize(icon, width, height);
    if (options_.claimedWidth > 0) claimSize(icon);
    xcb_map_window(c_, icon);
    if (options_.handBack) {
      // The empty slot stays until the next embedding: the icon sees a live tray window let it go.
      xcb_reparent_window(c_, icon, screen_->root, 0, 0);
    } else if (options_.notify) {
      send(icon, xembed_, XCB_CURRENT_TIME, xembedEmbeddedNotify, 0, XCB_EVENT_MASK_NO_EVENT);
    }
    if (underGrab) {
      // The icon answers the map meanwhile; the X server carries out its requests after the resize.
      xcb_flush(c_);
      std::this_thread::sleep_for(std::chrono::milliseconds(options_.mapUnderGrab));
      resize(icon, width, height);
      xcb_ungrab_server(c_);
    }
    embeddedAt_ = now;
    xcb_flush(c_);
  }

  void resize(xcb_window_t icon, uint16_t width, uint16_t height) {
    const uint32_t size[] = {width, height};
    xcb_configure_window(c_, icon, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
  }

  // Holds the X server once another client (the icon, when it has seen the reparent) listens to the slot's
  // notices, or after 2 s.
  void grabOnceTheIconListens() {
    xcb_flush(c_);
    for (int wait = 0; wait < 1000 && !slotWatched(); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    xcb_grab_server(c_);
  }

  bool slotWatched() {
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, slot_), nullptr));
    return attributes && (attributes->all_event_masks & XCB_EVENT_MASK_STRUCTURE_NOTIFY) != 0;
  }

  xcb_connection_t* c_;
  Options options_;
  xcb_screen_t* screen_ = nullptr;
  xcb_atom_t selection_ = XCB_ATOM_NONE, opcode_ = XCB_ATOM_NONE, xembed_ = XCB_ATOM_NONE,
             manager_ = XCB_ATOM_NONE;
  xcb_window_t panel_ = 0;
  xcb_window_t slot_ = 0;  // the last icon's slot
  long embeddedAt_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse(argc, argv);
  xcb_connection_t* const c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "hostile-tray: no X display\n");
    return 1;
  }
  {
    Tray tray(c, options);
    if (options.forgeManager) {
      tray.forgeManagerMessage();
    } else {
      tray.takeSelection();
      tray.run();
    }
  }
  xcb_disconnect(c);
  return 0;
}
