#include "Backends/GnomeShell/ShellItem.h"

#include <QDBusMessage>
#include <QVariantMap>
#include <cstdio>
#include <utility>

#include "Backends/GnomeShell/ShellItemAdaptor.h"

namespace pellmor::gnome {
namespace {

const QString itemService = QStringLiteral("com.pellmor.Status.Item");
const QString itemPath = QStringLiteral("/com/pellmor/Status/Item");
const QString itemInterface = QStringLiteral("com.pellmor.Status.Item");

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

ShellItem::ShellItem(QDBusConnection bus, Actions actions)
    : bus_(std::move(bus)), actions_(std::move(actions)) {
  registerShellTypes();
  new ShellItemAdaptor(*this);  // owned by this object (a QObject child)
  bus_.registerObject(itemPath, this, QDBusConnection::ExportAdaptors);
}

ShellItem::~ShellItem() {
  setPublished(false);
  bus_.unregisterObject(itemPath);
}

void ShellItem::show(const ShellPresentation& presentation) {
  const ShellPresentation before = std::exchange(presentation_, presentation);
  // Unpublished, no extension follows the item: it reads everything afresh once the name appears.
  if (!published_) return;
  const QVariantMap changed = changesBetween(before, presentation_);
  if (changed.isEmpty()) return;
  // QtDBus adaptors announce no property changes themselves; the extension's proxy follows this signal.
  QDBusMessage signal = QDBusMessage::createSignal(
      itemPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
  signal << itemInterface << changed << QStringList();
  bus_.send(signal);
}

void ShellItem::setPublished(bool published) {
  if (published == published_) return;
  published_ = published;
  if (!published_) {
    bus_.unregisterService(itemService);
  } else if (!bus_.registerService(itemService)) {
    // The name is the one place the extension looks: a second companion on the bus cannot show an item.
    published_ = false;
    std::fprintf(stderr, "Could not show the item in GNOME Shell's top bar: %s is taken by another program\n",
                 qPrintable(itemService));
    std::fflush(stderr);
  }
}

}  // namespace pellmor::gnome
