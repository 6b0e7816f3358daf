#include "Backends/StatusNotifier/StatusNotifierWatcherTracker.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <algorithm>
#include <chrono>
#include <tuple>
#include <utility>

namespace pellmor::sni {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString daemonService = QStringLiteral("org.freedesktop.DBus");
const QString daemonPath = QStringLiteral("/org/freedesktop/DBus");
// A watcher or daemon that hangs must not hold the item back for long.
constexpr int callTimeoutMilliseconds = 5000;
// A lost bus is tried again soon, then less often: a session without a bus costs a wake-up now and then.
constexpr std::chrono::milliseconds firstRetry{500};
constexpr std::chrono::milliseconds longestRetry{30'000};

QDBusMessage daemonCall(const QString& method, const QString& argument) {
  QDBusMessage call = QDBusMessage::createMethodCall(daemonService, daemonPath, daemonService, method);
  call << argument;
  return call;
}

}  // namespace

StatusNotifierWatcherTracker::StatusNotifierWatcherTracker() : connector_(QStringLiteral("sni")) {
  retry_.setSingleShot(true);
  connect(&retry_, &QTimer::timeout, this, [this] { connectToBus(); });
  connectToBus();
}

StatusNotifierWatcherTracker::~StatusNotifierWatcherTracker() = default;

void StatusNotifierWatcherTracker::connectToBus() {
  connector_.open([this](const QDBusConnection& connection) {
    if (connection.isConnected()) {
      connectedTo(connection);
      return;
    }
    changeState([this] { reachable_ = false; });
    const auto wait = std::min(longestRetry, firstRetry * (1 << std::min(failedAttempts_++, 6)));
    retry_.start(wait);
  });
}

void StatusNotifierWatcherTracker::connectedTo(const QDBusConnection& connection) {
  failedAttempts_ = 0;
  bus_ = connection;
  disconnection_ = std::make_unique<qt::DisconnectionWatch>(connection, [this] { lost(); });
  serviceWatcher_ =
      std::make_unique<QDBusServiceWatcher>(watcherService, *bus_, QDBusServiceWatcher::WatchForOwnerChange);
  connect(serviceWatcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
          [this](const QString&, const QString&, const QString& newOwner) { ownerChangedTo(newOwner); });
  bus_->connect(watcherService, watcherPath, watcherInterface, QStringLiteral("StatusNotifierHostRegistered"),
                this, SLOT(hostRegistered()));
  bus_->connect(watcherService, watcherPath, watcherInterface,
                QStringLiteral("StatusNotifierHostUnregistered"), this, SLOT(hostUnregistered()));
  bus_->connect(watcherService, watcherPath, watcherInterface,
                QStringLiteral("StatusNotifierItemUnregistered"), this, SLOT(watcherDroppedItem(QString)));
  changeState([this] { reachable_ = true; });
  askForOwner();
}

void StatusNotifierWatcherTracker::lost() {
  changeState([this] {
    serviceWatcher_.reset();
    disconnection_.reset();
    connector_.close(*bus_);
    bus_.reset();
    owner_.clear();
    identified_ = false;
    host_ = StatusNotifierHost::unknown;
    reachable_ = false;
  });
  retry_.start(firstRetry);
}

void StatusNotifierWatcherTracker::askForOwner() {
  auto* pending = new QDBusPendingCallWatcher(
      bus_->asyncCall(daemonCall(QStringLiteral("GetNameOwner"), watcherService), callTimeoutMilliseconds),
      this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    const QDBusPendingReply<QString> reply = *done;
    // The service watcher may have told already; an owner it reported wins over an older answer.
    if (bus_ && owner_.isEmpty() && reply.isValid()) ownerChangedTo(reply.value());
  });
}

void StatusNotifierWatcherTracker::ownerChangedTo(const QString& owner) {
  if (owner == owner_) return;
  changeState([this, &owner] {
    owner_ = owner;
    identified_ = false;
    host_ = StatusNotifierHost::unknown;
    hostRegistered_ = true;
  });
  if (!owner_.isEmpty()) identify(owner_);
}

void StatusNotifierWatcherTracker::identify(const QString& owner) {
  auto* pending = new QDBusPendingCallWatcher(
      bus_->asyncCall(daemonCall(QStringLiteral("GetConnectionUnixProcessID"), owner),
                      callTimeoutMilliseconds),
      this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this, owner](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    const QDBusPendingReply<uint> reply = *done;
    identified(owner, reply.isValid() ? hostOfProcess(reply.value()) : StatusNotifierHost::unknown);
  });
}

void StatusNotifierWatcherTracker::identified(const QString& owner, StatusNotifierHost host) {
  if (owner != owner_ || identified_) return;
  changeState([this, host] {
    identified_ = true;
    host_ = host;
  });
  askWhetherHostRegistered();
  emit ownerChanged();
}

void StatusNotifierWatcherTracker::registerItem(const QDBusConnection& itemConnection, const QString& path) {
  if (owner_.isEmpty()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(watcherService, watcherPath, watcherInterface,
                                                     QStringLiteral("RegisterStatusNotifierItem"));
  call << path;
  itemConnection.asyncCall(call, callTimeoutMilliseconds);
}

void StatusNotifierWatcherTracker::askWhetherHostRegistered() {
  QDBusMessage call = QDBusMessage::createMethodCall(
      watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  call << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
  auto* pending = new QDBusPendingCallWatcher(bus_->asyncCall(call, callTimeoutMilliseconds), this);
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
  if (bus_ && !owner_.isEmpty()) askWhetherHostRegistered();
}

void StatusNotifierWatcherTracker::watcherDroppedItem(const QString& id) {
  emit itemUnregistered(id);
}

void StatusNotifierWatcherTracker::setHostRegistered(bool registered) {
  changeState([this, registered] { hostRegistered_ = registered; });
}

void StatusNotifierWatcherTracker::changeState(const std::function<void()>& change) {
  const auto before = std::tuple(reachable_, available(), host_);
  change();
  if (std::tuple(reachable_, available(), host_) != before) emit availabilityChanged();
}

}  // namespace pellmor::sni
