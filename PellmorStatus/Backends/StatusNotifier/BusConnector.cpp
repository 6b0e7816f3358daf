#include "Backends/StatusNotifier/BusConnector.h"

#include <QMetaObject>
#include <utility>

namespace pellmor::sni {

BusConnector::BusConnector() : worker_("sni-bus") {}

BusConnector::~BusConnector() {
  worker_.stop();
}

void BusConnector::open(Opened opened) {
  const QString name = QStringLiteral("pellmor-status-%1").arg(++opened_);
  worker_.async([this, name, opened = std::move(opened)] {
    QDBusConnection connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    if (!connection.isConnected()) QDBusConnection::disconnectFromBus(name);
    // Queued to this object: dropped with it if it is gone by then.
    QMetaObject::invokeMethod(
        this, [opened, connection] { opened(connection); }, Qt::QueuedConnection);
  });
}

void BusConnector::close(const QDBusConnection& connection) {
  worker_.async([name = connection.name()] { QDBusConnection::disconnectFromBus(name); });
}

DisconnectionWatch::DisconnectionWatch(QDBusConnection connection, std::function<void()> lost)
    : lost_(std::move(lost)) {
  connection.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                     QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                     SLOT(disconnected()));
}

void DisconnectionWatch::disconnected() {
  if (lost_) lost_();
}

}  // namespace pellmor::sni
