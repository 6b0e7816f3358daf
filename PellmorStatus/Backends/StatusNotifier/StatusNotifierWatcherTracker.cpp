#include "Backends/StatusNotifier/StatusNotifierWatcherTracker.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <tuple>
#include <utility>

namespace pellmor::sni {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");

}  // namespace

StatusNotifierWatcherTracker::StatusNotifierWatcherTracker()
    : follower_(QStringLiteral("sni"), watcherService,
                qt::BusNameFollower::Handlers{
                    .connected = [this](const qt::NonBlockingBus& bus) { connectedTo(bus); },
                    .unreachable = [this] { lost(); },
                    .ownerChanged = [this](const QString& owner) { ownerChangedTo(owner); },
                }) {}

StatusNotifierWatcherTracker::~StatusNotifierWatcherTracker() = default;

void StatusNotifierWatcherTracker::connectedTo(const qt::NonBlockingBus& bus) {
  bus.subscribe(watcherPath, watcherInterface, QStringLiteral("StatusNotifierHostRegistered"), this,
                SLOT(hostRegistered(QDBusMessage)));
  bus.subscribe(watcherPath, watcherInterface, QStringLiteral("StatusNotifierHostUnregistered"), this,
                SLOT(hostUnregistered(QDBusMessage)));
  bus.subscribe(watcherPath, watcherInterface, QStringLiteral("StatusNotifierItemUnregistered"), this,
                SLOT(watcherDroppedItem(QString, QDBusMessage)));
  changeState([] {});
}

void StatusNotifierWatcherTracker::lost() {
  changeState([this] {
    identified_ = false;
    hostHeard_ = false;
    host_ = StatusNotifierHost::unknown;
  });
}

void StatusNotifierWatcherTracker::ownerChangedTo(const QString& owner) {
  changeState([this] {
    identified_ = false;
    hostHeard_ = false;
    host_ = StatusNotifierHost::unknown;
    hostRegistered_ = true;
  });
  if (!owner.isEmpty()) identify(owner);
}

void StatusNotifierWatcherTracker::identify(const QString& owner) {
  auto* pending = new QDBusPendingCallWatcher(follower_.bus()->asyncCall(qt::BusNameFollower::daemonCall(
                                                  QStringLiteral("GetConnectionUnixProcessID"), owner)),
                                              this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this, owner](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    const QDBusPendingReply<uint> reply = *done;
    identified(owner, reply.isValid() ? hostOfProcess(reply.value()) : StatusNotifierHost::unknown);
  });
}

void StatusNotifierWatcherTracker::identified(const QString& owner, StatusNotifierHost host) {
  if (owner != follower_.owner() || identified_) return;
  changeState([this, host] {
    identified_ = true;
    host_ = host;
  });
  emit ownerChanged();
  askWhetherHostRegistered();
}

void StatusNotifierWatcherTracker::registerItem(const qt::NonBlockingBus& itemConnection,
                                                const QString& path) {
  if (!readyForItems()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(watcherService, watcherPath, watcherInterface,
                                                     QStringLiteral("RegisterStatusNotifierItem"));
  call << path;
  itemConnection.asyncCall(call);
}

void StatusNotifierWatcherTracker::askWhetherHostRegistered() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  call << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
  auto* pending = new QDBusPendingCallWatcher(follower_.bus()->asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this,
          [this, owner = follower_.owner()](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *done;
            // A watcher without the property (or one that does not answer) is taken at its word that it shows
            // items.
            if (owner != follower_.owner()) return;
            const QVariant value = reply.isError() ? QVariant() : reply.value().variant();
            setHostRegistered(!value.canConvert<bool>() || value.toBool());
          });
}

bool StatusNotifierWatcherTracker::fromWatcher(const QDBusMessage& message) const {
  return !follower_.owner().isEmpty() && message.service() == follower_.owner();
}

void StatusNotifierWatcherTracker::hostRegistered(const QDBusMessage& message) {
  if (fromWatcher(message)) setHostRegistered(true);
}

void StatusNotifierWatcherTracker::hostUnregistered(const QDBusMessage& message) {
  // The signal does not say whether another host remains: ask.
  if (follower_.bus() && fromWatcher(message)) askWhetherHostRegistered();
}

void StatusNotifierWatcherTracker::watcherDroppedItem(const QString& id, const QDBusMessage& message) {
  if (fromWatcher(message)) emit itemUnregistered(id);
}

void StatusNotifierWatcherTracker::setHostRegistered(bool registered) {
  const bool wasReady = readyForItems();
  // A host heard of before the owner is identified counts once it is: the watcher is then asked again.
  changeState([this, registered] {
    hostRegistered_ = registered;
    hostHeard_ = hostHeard_ || (registered && identified_);
  });
  if (!wasReady && readyForItems()) emit becameReadyForItems();
}

void StatusNotifierWatcherTracker::changeState(const std::function<void()>& change) {
  change();
  const auto now = std::tuple(busReachable(), available(), host_);
  if (now == reported_) return;
  reported_ = now;
  emit availabilityChanged();
}

}  // namespace pellmor::sni
