#include "Backends/Qt/BusNameFollower.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <algorithm>
#include <chrono>
#include <utility>

namespace pellmor::qt {
namespace {

const QString daemonService = QStringLiteral("org.freedesktop.DBus");
const QString daemonPath = QStringLiteral("/org/freedesktop/DBus");

}  // namespace

BusNameFollower::BusNameFollower(const QString& purpose, QString name, Handlers handlers)
    : connector_(purpose), name_(std::move(name)), handlers_(std::move(handlers)) {
  retry_.setSingleShot(true);
  connect(&retry_, &QTimer::timeout, this, [this] { connectToBus(); });
  connectToBus();
}

BusNameFollower::~BusNameFollower() = default;

QDBusMessage BusNameFollower::daemonCall(const QString& method, const QString& argument) {
  QDBusMessage call = QDBusMessage::createMethodCall(daemonService, daemonPath, daemonService, method);
  call << argument;
  return call;
}

void BusNameFollower::connectToBus() {
  connector_.open([this](const QDBusConnection& connection) {
    if (connection.isConnected()) return connectedTo(connection);
    reachable_ = false;
    handlers_.unreachable();
    retry_.start(retryDelay(failedAttempts_++));
  });
}

void BusNameFollower::connectedTo(const QDBusConnection& connection) {
  failedAttempts_ = 0;
  bus_.emplace(connection);
  disconnection_ = std::make_unique<DisconnectionWatch>(connection, [this] { lost(); });
  // Follows the daemon's own NameOwnerChanged signal, for which QtDBus asks nobody.
  serviceWatcher_ =
      std::make_unique<QDBusServiceWatcher>(name_, connection, QDBusServiceWatcher::WatchForOwnerChange);
  connect(serviceWatcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
          [this](const QString&, const QString&, const QString& newOwner) { ownerChangedTo(newOwner); });
  reachable_ = true;
  handlers_.connected(*bus_);
  askForOwner();
}

void BusNameFollower::lost() {
  serviceWatcher_.reset();
  // The watch is running this very handler, so it goes once the handler has returned.
  disconnection_.release()->deleteLater();
  connector_.close(bus_->connection());
  bus_.reset();
  owner_.clear();
  reachable_ = false;
  handlers_.unreachable();
  retry_.start(retryDelay(0));
}

void BusNameFollower::askForOwner() {
  auto* pending =
      new QDBusPendingCallWatcher(bus_->asyncCall(daemonCall(QStringLiteral("GetNameOwner"), name_)), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    const QDBusPendingReply<QString> reply = *done;
    // The service watcher may have told already; an owner it reported wins over an older answer.
    if (bus_ && owner_.isEmpty() && reply.isValid()) ownerChangedTo(reply.value());
  });
}

void BusNameFollower::ownerChangedTo(const QString& owner) {
  if (owner == owner_) return;
  owner_ = owner;
  handlers_.ownerChanged(owner_);
}

}  // namespace pellmor::qt
