#include "Backends/StatusNotifier/StatusNotifierItem.h"

#include <unistd.h>

#include <utility>

#include "Backends/StatusNotifier/DBusMenuAdaptor.h"
#include "Backends/StatusNotifier/StatusNotifierItemAdaptor.h"
#include "Backends/StatusNotifier/StatusNotifierWatcherTracker.h"

namespace pellmor::sni {
namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuPath = QStringLiteral("/MenuBar");

// The name the StatusNotifierItem specification suggests: one per process and item.
QString itemServiceName() {
  return QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(getpid());
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, StatusNotifierWatcherTracker& watcher,
                                       Actions actions)
    : bus_(std::move(bus)),
      watcher_(watcher),
      actions_(std::move(actions)),
      adaptor_(new StatusNotifierItemAdaptor(*this)),
      menu_(new DBusMenuAdaptor(menuObject_,
                                [this](int index) {
                                  if (actions_.menuEntryClicked) actions_.menuEntryClicked(index);
                                })),
      serviceName_(itemServiceName()) {
  registerDBusTypes();
  bus_.registerObject(itemPath, this, QDBusConnection::ExportAdaptors);
  bus_.registerObject(menuPath, &menuObject_, QDBusConnection::ExportAdaptors);
  connect(&watcher_, &StatusNotifierWatcherTracker::ownerChanged, this, [this] {
    if (published_) registerWithWatcher();
  });
}

StatusNotifierItem::~StatusNotifierItem() {
  setPublished(false);
  bus_.unregisterObject(menuPath);
  bus_.unregisterObject(itemPath);
}

void StatusNotifierItem::show(const Presentation& presentation) {
  const Presentation before = std::exchange(presentation_, presentation);
  menu_->setEntries(presentation_.menuEntries);
  // Unpublished, no host follows the item: it reads everything afresh once the item registers.
  if (!published_) return;
  // Hosts read a property again when told it changed; a signal for an unchanged value costs every host a
  // round trip and a redraw.
  if (before.title != presentation_.title) emit adaptor_->NewTitle();
  if (before.icon != presentation_.icon) emit adaptor_->NewIcon();
  if (before.toolTip != presentation_.toolTip) emit adaptor_->NewToolTip();
  if (before.label != presentation_.label || before.labelGuide != presentation_.labelGuide)
    emit adaptor_->XAyatanaNewLabel(presentation_.label, presentation_.labelGuide);
}

void StatusNotifierItem::setPublished(bool published) {
  if (published == published_) return;
  published_ = published;
  if (published_) {
    bus_.registerService(serviceName_);
    registerWithWatcher();
  } else {
    bus_.unregisterService(serviceName_);
  }
}

void StatusNotifierItem::registerWithWatcher() {
  watcher_.registerItem(serviceName_);
}

void StatusNotifierItem::activate() {
  if (actions_.activate) actions_.activate();
}

void StatusNotifierItem::secondaryActivate() {
  if (actions_.secondaryActivate) actions_.secondaryActivate();
}

}  // namespace pellmor::sni
