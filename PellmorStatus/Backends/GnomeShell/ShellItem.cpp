#include "Backends/GnomeShell/ShellItem.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>
#include <cstdio>
#include <utility>

#include "Backends/GnomeShell/ShellExtensionTracker.h"
#include "Backends/GnomeShell/ShellItemAdaptor.h"

namespace pellmor::gnome {
namespace {

const QString itemService = QStringLiteral("com.pellmor.Status.Item");
const QString itemPath = QStringLiteral("/com/pellmor/Status/Item");
const QString itemInterface = QStringLiteral("com.pellmor.Status.Item");
// RequestName's answers (the D-Bus specification): the name is ours, or we wait in its queue.
constexpr uint primaryOwner = 1;
constexpr uint inQueue = 2;

QVariantMap changesBetween(const ShellPresentation& before, const ShellPresentation& after) {
  QVariantMap changed;
  if (before.image != after.image) changed.insert(QStringLiteral("Image"), QVariant::fromValue(after.image));
  if (before.description != after.description)
    changed.insert(QStringLiteral("Description"), after.description);
  if (before.menuEntries != after.menuEntries)
    changed.insert(QStringLiteral("MenuEntries"), after.menuEntries);
  return changed;
}

}  // namespace

ShellItem::ShellItem(ShellExtensionTracker& tracker, Actions actions)
    : tracker_(tracker),
      actions_(std::move(actions)),
      imageMessages_(connection_, "Image",
                     [this] {
                       announce({{QStringLiteral("Image"), QVariant::fromValue(presentation_.image)}});
                     }),
      connection_(
          tracker.connector(), [this] { return tracker_.connected(); },
          [this](const qt::NonBlockingBus& bus) {
            connection_.registerObject(itemPath, this);
            askForName(bus);
          }) {
  // Before any object is registered: QtDBus leaves a member whose types it cannot resolve off the bus.
  registerShellTypes();
  new ShellItemAdaptor(*this);  // owned by this object (a QObject child)
  connect(&tracker_, &ShellExtensionTracker::availabilityChanged, this,
          [this] { connection_.serveWhenPossible(); });
}

ShellItem::~ShellItem() = default;

void ShellItem::show(const ShellPresentation& presentation) {
  const ShellPresentation before = std::exchange(presentation_, presentation);
  // Unserved, no extension follows the item: it reads everything afresh once the name appears.
  if (!connection_.bus()) return;
  QVariantMap changed = changesBetween(before, presentation_);
  // Held back, the picture is announced once the bus takes messages again.
  if (changed.contains(QStringLiteral("Image")) && !imageMessages_.admits())
    changed.remove(QStringLiteral("Image"));
  if (!changed.isEmpty()) announce(changed);
}

ItemImage ShellItem::imageToSend() {
  return imageMessages_.admits() ? presentation_.image : ItemImage();
}

// QtDBus adaptors announce no property changes themselves; the extension's proxy follows this signal.
void ShellItem::announce(const QVariantMap& changed) {
  QDBusMessage signal = QDBusMessage::createSignal(
      itemPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
  signal << itemInterface << changed << QStringList();
  connection_.bus()->send(signal);
}

// Asked without waiting: QDBusConnection::registerService would wait for the daemon's answer.
void ShellItem::askForName(const qt::NonBlockingBus& bus) {
  QDBusMessage call = qt::BusNameFollower::daemonCall(QStringLiteral("RequestName"), itemService);
  call << 0u;  // no flags: queued behind another holder, and ours once it lets go
  auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    const QDBusPendingReply<uint> reply = *done;
    if (reply.isValid() && reply.value() == primaryOwner) return;
    const QString reason =
        reply.isValid() && reply.value() == inQueue
            ? QStringLiteral("%1 is held by another program; the item appears once it lets go")
                  .arg(itemService)
            : reply.error().message();
    std::fprintf(stderr, "Could not show the item in GNOME Shell's top bar: %s\n", qPrintable(reason));
    std::fflush(stderr);
  });
}

bool ShellItem::isTheShell(const QString& caller) const {
  return published() && !caller.isEmpty() && caller == tracker_.owner();
}

void ShellItem::activate(const QString& caller, int x, int y) {
  if (isTheShell(caller) && actions_.activate) actions_.activate(x, y);
}

void ShellItem::secondaryActivate(const QString& caller) {
  if (isTheShell(caller) && actions_.secondaryActivate) actions_.secondaryActivate();
}

void ShellItem::activateMenuEntry(const QString& caller, int index) {
  if (isTheShell(caller) && actions_.menuEntryClicked) actions_.menuEntryClicked(index);
}

}  // namespace pellmor::gnome
