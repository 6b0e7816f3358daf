#include "Backends/StatusNotifier/StatusNotifierItem.h"

#include <utility>

#include "Backends/StatusNotifier/DBusMenuAdaptor.h"
#include "Backends/StatusNotifier/StatusNotifierItemAdaptor.h"
#include "Backends/StatusNotifier/StatusNotifierWatcherTracker.h"

namespace pellmor::sni {
namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");
// A watcher that drops the item again and again (it cannot read it) is not asked for ever.
constexpr int maximumReRegistrations = 3;

// Watchers name an item registered by path after its connection's unique name and the path, joined by
// "/" (KDE, waybar) or "@" (GNOME).
bool namesItemOn(const QString& id, const QString& uniqueName) {
  return id == uniqueName || id.startsWith(uniqueName + QLatin1Char('/')) ||
         id.startsWith(uniqueName + QLatin1Char('@'));
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(StatusNotifierWatcherTracker& watcher, Actions actions)
    : watcher_(watcher),
      actions_(std::move(actions)),
      adaptor_(new StatusNotifierItemAdaptor(*this)),
      menu_(new DBusMenuAdaptor(menuObject_,
                                [this](int index) {
                                  if (actions_.menuEntryClicked) actions_.menuEntryClicked(index);
                                })),
      iconReads_(connection_, "IconPixmap", [this] { emit adaptor_->NewIcon(); }),
      connection_(
          watcher.connector(), [this] { return watcher_.connected(); },
          [this](const qt::NonBlockingBus&) { served(); }) {
  // Before any object is registered: QtDBus leaves a member whose types it cannot resolve off the bus.
  registerDBusTypes();
  connect(&watcher_, &StatusNotifierWatcherTracker::ownerChanged, this, [this] { reRegistrations_ = 0; });
  connect(&watcher_, &StatusNotifierWatcherTracker::becameReadyForItems, this, [this] {
    if (connection_.bus()) registerWithWatcher();
  });
  connect(&watcher_, &StatusNotifierWatcherTracker::availabilityChanged, this,
          [this] { connection_.serveWhenPossible(); });
  connect(&watcher_, &StatusNotifierWatcherTracker::itemUnregistered, this,
          [this](const QString& id) { watcherDropped(id); });
}

StatusNotifierItem::~StatusNotifierItem() = default;

void StatusNotifierItem::show(const Presentation& presentation) {
  const Presentation before = std::exchange(presentation_, presentation);
  menu_->setEntries(presentation_.menuEntries);
  // Unserved, no host follows the item: it reads everything afresh once the item registers.
  if (!connection_.bus()) return;
  // Hosts read a property again when told it changed; a signal for an unchanged value costs every host a
  // round trip and a redraw.
  if (before.title != presentation_.title) emit adaptor_->NewTitle();
  if (before.icon != presentation_.icon) emit adaptor_->NewIcon();
  if (before.toolTip != presentation_.toolTip) emit adaptor_->NewToolTip();
  if (before.label != presentation_.label || before.labelGuide != presentation_.labelGuide)
    emit adaptor_->XAyatanaNewLabel(presentation_.label, presentation_.labelGuide);
}

IconPixmapList StatusNotifierItem::iconToSend() {
  return iconReads_.admits() ? presentation_.icon : IconPixmapList();
}

void StatusNotifierItem::served() {
  connection_.registerObject(itemPath, this);
  connection_.registerObject(menuPath, &menuObject_);
  registerWithWatcher();
}

void StatusNotifierItem::registerWithWatcher() {
  watcher_.registerItem(*connection_.bus(), itemPath);
}

void StatusNotifierItem::watcherDropped(const QString& id) {
  const std::optional<qt::NonBlockingBus>& bus = connection_.bus();
  if (!bus || !namesItemOn(id, bus->uniqueName()) || reRegistrations_ >= maximumReRegistrations) return;
  ++reRegistrations_;
  registerWithWatcher();
}

void StatusNotifierItem::activate() {
  if (actions_.activate) actions_.activate();
}

void StatusNotifierItem::secondaryActivate() {
  if (actions_.secondaryActivate) actions_.secondaryActivate();
}

}  // namespace pellmor::sni
