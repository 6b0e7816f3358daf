#include "Backends/StatusNotifier/StatusNotifierWatcherTracker.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <utility>

namespace pellmor::sni {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
// A watcher that hangs must not hold the item back for long.
constexpr int callTimeoutMilliseconds = 5000;

}  // namespace

StatusNotifierWatcherTracker::StatusNotifierWatcherTracker(QDBusConnection bus)
    : bus_(std::move(bus)), serviceWatcher_(watcherService, bus_, QDBusServiceWatcher::WatchForOwnerChange) {
  connect(&serviceWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
          [this](const QString&, const QString&, const QString& newOwner) { ownerChangedTo(newOwner); });
  bus_.connect(watcherService, watcherPath, watcherInterface, QStringLiteral("StatusNotifierHostRegistered"),
               this, SLOT(hostRegistered()));
  bus_.connect(watcherService, watcherPath, watcherInterface,
               QStringLiteral("StatusNotifierHostUnregistered"), this, SLOT(hostUnregistered()));
  // The bus daemon answers for itself, at once: the start-up choice of host needs to know.
  if (QDBusConnectionInterface* daemon = bus_.interface()) {
    const QDBusReply<QString> owner = daemon->serviceOwner(watcherService);
    if (owner.isValid()) owner_ = owner.value();
  }
  if (!owner_.isEmpty()) askWhetherHostRegistered();
}

void StatusNotifierWatcherTracker::registerItem(const QString& service) {
  if (owner_.isEmpty()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(watcherService, watcherPath, watcherInterface,
                                                     QStringLiteral("RegisterStatusNotifierItem"));
  call << service;
  bus_.asyncCall(call, callTimeoutMilliseconds);
}

void StatusNotifierWatcherTracker::ownerChangedTo(const QString& owner) {
  const bool wasAvailable = available();
  owner_ = owner;
  hostRegistered_ = true;
  if (!owner_.isEmpty()) {
    askWhetherHostRegistered();
    emit ownerChanged();
  }
  if (available() != wasAvailable) emit availabilityChanged();
}

void StatusNotifierWatcherTracker::askWhetherHostRegistered() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  call << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
  auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, callTimeoutMilliseconds), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this,
          [this, owner = owner_](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *done;
            // A watcher without the property (or one that does not answer) is taken at its word that it shows
            // items.
            if (owner != owner_ || reply.isError()) return;
            const QVariant value = reply.value().variant();
            setHostRegistered(!value.canConvert<bool>() || value.toBool());
          });
}

void StatusNotifierWatcherTracker::hostRegistered() {
  setHostRegistered(true);
}

void StatusNotifierWatcherTracker::hostUnregistered() {
  // The signal does not say whether another host remains: ask.
  askWhetherHostRegistered();
}

void StatusNotifierWatcherTracker::setHostRegistered(bool registered) {
  const bool wasAvailable = available();
  hostRegistered_ = registered;
  if (available() != wasAvailable) emit availabilityChanged();
}

}  // namespace pellmor::sni
