#include "Backends/XEmbed/TrayTracker.h"

#include <QCoreApplication>
#include <QImage>
#include <cstring>
#include <string>
#include <utility>

#include "Backends/XEmbed/XcbSupport.h"

namespace pellmor::xembed {
namespace {

// System Tray Protocol Specification 0.3: the opcode that asks the manager to embed a window.
constexpr uint32_t systemTrayRequestDock = 0;
// X protocol: a visual of this depth carries an alpha channel (ARGB).
constexpr uint8_t alphaDepth = 32;

// The window's geometry when the X server has it at the size a client's notice claims.
std::optional<PixelRect> confirmedGeometry(const xcb_configure_notify_event_t& claim) {
  xcb_connection_t* const c = connection();
  const ReplyPtr<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, claim.window), nullptr));
  if (!geometry || geometry->width != claim.width || geometry->height != claim.height) return std::nullopt;
  // The position in the parent: a sent notice gives it in the root window's coordinates.
  return PixelRect{geometry->x, geometry->y, geometry->width, geometry->height};
}

void selectStructureEvents(xcb_window_t window, bool keepExisting) {
  xcb_connection_t* const c = connection();
  uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  if (keepExisting) {
    // The mask is per client: Qt already listens on the root window, and must keep doing so.
    const ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    if (attributes) mask |= attributes->your_event_mask;
  }
  xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
}

std::optional<xcb_visualid_t> managerVisual(xcb_window_t manager, xcb_atom_t visualAtom) {
  xcb_connection_t* const c = connection();
  const ReplyPtr<xcb_get_property_reply_t> property(xcb_get_property_reply(
      c, xcb_get_property(c, 0, manager, visualAtom, XCB_ATOM_VISUALID, 0, 1), nullptr));
  if (!property || xcb_get_property_value_length(property.get()) < 4) return std::nullopt;
  return *static_cast<const xcb_visualid_t*>(xcb_get_property_value(property.get()));
}

uint8_t depthOfVisual(xcb_visualid_t visual) {
  for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection())); screens.rem > 0;
       xcb_screen_next(&screens)) {
    for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem > 0;
         xcb_depth_next(&depths)) {
      for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
           xcb_visualtype_next(&visuals)) {
        if (visuals.data->visual_id == visual) return depths.data->depth;
      }
    }
  }
  return 0;
}

}  // namespace

TrayTracker::TrayTracker() {
  selectionAtom_ = internAtom("_NET_SYSTEM_TRAY_S" + std::to_string(defaultScreenNumber()));
  managerAtom_ = internAtom("MANAGER");
  opcodeAtom_ = internAtom("_NET_SYSTEM_TRAY_OPCODE");
  visualAtom_ = internAtom("_NET_SYSTEM_TRAY_VISUAL");
  root_ = rootWindow();
  // A new manager announces itself with a MANAGER client message to the root window (ICCCM 2.8).
  selectStructureEvents(root_, true);
  QCoreApplication::instance()->installNativeEventFilter(this);
  lookUpManager();  // no listener yet to tell
}

TrayTracker::~TrayTracker() {
  if (auto* application = QCoreApplication::instance()) application->removeNativeEventFilter(this);
}

void TrayTracker::lookUpManager() {
  xcb_connection_t* const c = connection();
  // Grabbed, so the manager cannot vanish between the lookup and the event selection.
  xcb_grab_server(c);
  const ReplyPtr<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selectionAtom_), nullptr));
  const xcb_window_t window = owner ? owner->owner : xcb_window_t{XCB_WINDOW_NONE};
  if (window != XCB_WINDOW_NONE && window != manager_) selectStructureEvents(window, false);
  xcb_ungrab_server(c);
  xcb_flush(c);
  // A manager that announces itself after the lookup found it is no change: a second dock request would
  // make the tray embed the window twice and destroy it with the first embedding.
  if (window == manager_) return;
  manager_ = window;
  announceTrayChange();
}

bool TrayTracker::managerVisualHasAlpha() const {
  if (manager_ == XCB_WINDOW_NONE) return false;
  const std::optional<xcb_visualid_t> visual = managerVisual(manager_, visualAtom_);
  return visual && depthOfVisual(*visual) == alphaDepth;
}

bool TrayTracker::requestDock(WindowId window) const {
  if (manager_ == XCB_WINDOW_NONE) return false;
  xcb_client_message_event_t event;
  std::memset(&event, 0, sizeof event);
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = manager_;
  event.type = opcodeAtom_;
  event.data.data32[0] = XCB_CURRENT_TIME;
  event.data.data32[1] = systemTrayRequestDock;
  event.data.data32[2] = window;
  xcb_send_event(connection(), 0, manager_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
  xcb_flush(connection());
  return true;
}

void TrayTracker::addListener(WindowId window, Listener listener) {
  listeners_[window] = std::move(listener);
}

void TrayTracker::removeListener(WindowId window) {
  listeners_.erase(window);
  std::erase_if(slots_, [window](const auto& slot) { return slot.second == window; });
}

const TrayTracker::Listener* TrayTracker::listenerOf(WindowId window) const {
  const auto found = listeners_.find(window);
  return found != listeners_.end() ? &found->second : nullptr;
}

void TrayTracker::watchSlot(WindowId window, WindowId slot) {
  std::erase_if(slots_, [window](const auto& entry) { return entry.second == window; });
  if (slot == XCB_WINDOW_NONE || slot == root_) return;
  slots_[slot] = window;
  // Our own mask on the tray's window: the tray's own selection is untouched.
  selectStructureEvents(slot, false);
  xcb_flush(connection());
}

QImage TrayTracker::backgroundBehind(WindowId window) const {
  xcb_connection_t* const c = connection();
  const ReplyPtr<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
  const ReplyPtr<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
  if (!tree || !geometry || tree->parent == root_ || geometry->width == 0 || geometry->height == 0) return {};
  // The tray lays its slot out after embedding; until the slot is on screen and as large as the window,
  // what lies there is not yet the tray's background.
  const ReplyPtr<xcb_get_window_attributes_reply_t> slot(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, tree->parent), nullptr));
  const ReplyPtr<xcb_get_geometry_reply_t> slotGeometry(
      xcb_get_geometry_reply(c, xcb_get_geometry(c, tree->parent), nullptr));
  if (!slot || !slotGeometry || slot->map_state != XCB_MAP_STATE_VIEWABLE || geometry->x < 0 ||
      geometry->y < 0 || geometry->x + geometry->width > slotGeometry->width ||
      geometry->y + geometry->height > slotGeometry->height) {
    return {};
  }
  const ReplyPtr<xcb_get_image_reply_t> image(
      xcb_get_image_reply(c,
                          xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, tree->parent, geometry->x, geometry->y,
                                        geometry->width, geometry->height, ~0u),
                          nullptr));
  const int width = geometry->width;
  const int height = geometry->height;
  // Depth 24 in 32 bits per pixel is the layout of QImage::Format_RGB32.
  if (!image || image->depth != 24 || xcb_get_image_data_length(image.get()) != width * height * 4) return {};
  return QImage(xcb_get_image_data(image.get()), width, height, width * 4, QImage::Format_RGB32).copy();
}

void TrayTracker::afterQt(std::function<void()> task) {
  // Qt applies a window's new geometry only after every filter has seen the event; a queued call runs on
  // the next pass of the event loop, after that.
  if (deferred_.empty()) {
    QMetaObject::invokeMethod(
        &deferredContext_, [this] { runDeferred(); }, Qt::QueuedConnection);
  }
  deferred_.push_back(std::move(task));
}

void TrayTracker::runDeferred() {
  const std::vector<std::function<void()>> tasks = std::exchange(deferred_, {});
  for (const auto& task : tasks)
    task();
}

void TrayTracker::announceTrayChange() {
  // A listener may remove itself while being told.
  const auto listeners = listeners_;
  for (const auto& [window, listener] : listeners) {
    if (listener.trayChanged) listener.trayChanged();
  }
}

void TrayTracker::announceReparent(WindowId window, WindowId parent, int x, int y) {
  const Listener* listener = listenerOf(window);
  if (listener == nullptr) return;
  if (parent == root_) {
    std::erase_if(slots_, [window](const auto& entry) { return entry.second == window; });
    if (listener->reparentedToRoot) listener->reparentedToRoot();
    return;
  }
  // The notice has the position but no sizes: asked for both at once, once per embedding, after the
  // parent's notices are selected, so that no later change of its size goes unseen.
  watchSlot(window, parent);
  xcb_connection_t* const c = connection();
  const xcb_get_geometry_cookie_t ownCookie = xcb_get_geometry(c, window);
  const xcb_get_geometry_cookie_t parentCookie = xcb_get_geometry(c, parent);
  const ReplyPtr<xcb_get_geometry_reply_t> own(xcb_get_geometry_reply(c, ownCookie, nullptr));
  const ReplyPtr<xcb_get_geometry_reply_t> slot(xcb_get_geometry_reply(c, parentCookie, nullptr));
  if (!own || !slot) return;  // gone meanwhile: its destruction is on its way
  if (listener->reparentedIntoTray) {
    listener->reparentedIntoTray(PixelRect{x, y, own->width, own->height},
                                 PixelSize{slot->width, slot->height});
  }
}

void TrayTracker::announceConfigure(WindowId window, PixelRect geometry) {
  if (const auto slot = slots_.find(window); slot != slots_.end()) {
    const Listener* listener = listenerOf(slot->second);
    if (listener != nullptr && listener->parentResized)
      listener->parentResized(PixelSize{geometry.width, geometry.height});
    return;
  }
  const Listener* listener = listenerOf(window);
  if (listener != nullptr && listener->configured) listener->configured(geometry);
}

void TrayTracker::announceMap(WindowId window) {
  const Listener* listener = listenerOf(window);
  if (listener != nullptr && listener->mapped) listener->mapped();
}

void TrayTracker::announceDestruction(WindowId window) {
  slots_.erase(window);
  if (manager_ != XCB_WINDOW_NONE && window == manager_) {
    // Another manager may have taken the selection in the same moment.
    manager_ = XCB_WINDOW_NONE;
    lookUpManager();
    if (manager_ == XCB_WINDOW_NONE) announceTrayChange();
    return;
  }
  const Listener* listener = listenerOf(window);
  if (listener != nullptr && listener->destroyed) listener->destroyed();
}

bool TrayTracker::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  // A sent event is anyone's claim: MANAGER and XEmbed messages, and a tray's copies of a window's
  // notices, come that way, and none is believed as it stands. Geometry comes from the X server.
  const bool sent = (event->response_type & 0x80) != 0;
  switch (event->response_type & ~0x80) {
    case XCB_CLIENT_MESSAGE: {
      const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
      if (client->type == managerAtom_ && client->window == root_ &&
          client->data.data32[1] == selectionAtom_) {
        // The selection's owner says who manages the tray, not the message.
        afterQt([this] { lookUpManager(); });
      }
      break;
    }
    case XCB_DESTROY_NOTIFY: {
      const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
      if (!sent && destroyed->event == destroyed->window)
        afterQt([this, window = destroyed->window] { announceDestruction(window); });
      break;
    }
    case XCB_CONFIGURE_NOTIFY: {
      const auto* configured = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
      // Each window's own notification only, not the copy its parent's substructure listeners get.
      if (configured->event != configured->window) break;
      std::optional<PixelRect> geometry =
          PixelRect{configured->x, configured->y, configured->width, configured->height};
      if (sent) {
        if (listenerOf(configured->window) == nullptr) break;
        // Qt takes a sent notice's size as the window's, and drops the notice before it when both wait
        // in its queue: fluxbox sends a copy after each resize it makes, and its resize would go unseen.
        // A notice the X server bears out stands for the dropped one; Qt never sees any other, as it
        // would put that size on the window when showing it.
        geometry = confirmedGeometry(*configured);
        if (!geometry) return true;
      }
      afterQt(
          [this, window = configured->window, geometry = *geometry] { announceConfigure(window, geometry); });
      break;
    }
    case XCB_MAP_NOTIFY: {
      const auto* mapped = reinterpret_cast<const xcb_map_notify_event_t*>(event);
      if (!sent && mapped->event == mapped->window)
        afterQt([this, window = mapped->window] { announceMap(window); });
      break;
    }
    case XCB_REPARENT_NOTIFY: {
      const auto* reparented = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
      if (!sent && reparented->event == reparented->window) {
        afterQt([this, window = reparented->window, parent = reparented->parent, x = reparented->x,
                 y = reparented->y] { announceReparent(window, parent, x, y); });
      }
      break;
    }
    default:
      break;
  }
  return false;  // Qt sees every other event
}

}  // namespace pellmor::xembed
