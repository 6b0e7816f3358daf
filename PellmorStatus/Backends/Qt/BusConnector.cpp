#include "Backends/Qt/BusConnector.h"

#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <utility>

namespace pellmor::qt {

namespace {

constexpr std::chrono::milliseconds firstRetry{500};
constexpr std::chrono::milliseconds longestRetry{30'000};

QString addressWithoutGuid(const QString& address) {
  QStringList parts = address.split(QLatin1Char(','));
  parts.removeIf([](const QString& part) { return part.startsWith(QLatin1String("guid=")); });
  return parts.join(QLatin1Char(','));
}

constexpr const char* addressVariable = "DBUS_SESSION_BUS_ADDRESS";

// The bus the environment names, or else the user's bus socket in the runtime directory.
QString sessionBusAddress() {
  const QString named = qEnvironmentVariable(addressVariable);
  if (!named.isEmpty()) return addressWithoutGuid(named);
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return runtime.isEmpty() ? QString() : QStringLiteral("unix:path=%1/bus").arg(runtime);
}

}  // namespace

BusConnector::BusConnector(const QString& purpose)
    : addressed_(!qEnvironmentVariableIsEmpty(addressVariable)),
      purpose_(purpose),
      worker_((purpose + QStringLiteral("-bus")).toStdString()) {}

BusConnector::~BusConnector() {
  worker_.stop();
}

void BusConnector::prepareEnvironment() {
  const QString address = sessionBusAddress();
  if (!address.isEmpty()) setenv(addressVariable, address.toUtf8().constData(), 1);
  setenv("DBUS_FATAL_WARNINGS", "0", 0);
}

void BusConnector::open(Opened opened) {
  const QString name = QStringLiteral("pellmor-status-%1-%2").arg(purpose_).arg(++opened_);
  worker_.async([this, name, addressed = addressed_, opened = std::move(opened)] {
    // Without an address the named handle stays unconnected, and the caller tries again later.
    QDBusConnection connection =
        addressed ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name) : QDBusConnection(name);
    if (!connection.isConnected()) QDBusConnection::disconnectFromBus(name);
    results_.post([opened, connection] { opened(connection); });
  });
}

void BusConnector::close(const QDBusConnection& connection) {
  worker_.async([name = connection.name()] { QDBusConnection::disconnectFromBus(name); });
}

std::chrono::milliseconds retryDelay(int failures) {
  return std::min(longestRetry, firstRetry * (1 << std::clamp(failures, 0, 6)));
}

DisconnectionWatch::DisconnectionWatch(QDBusConnection connection, std::function<void()> lost)
    : lost_(std::move(lost)) {
  connection.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                     QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                     SLOT(disconnected()));
  if (!connection.isConnected())
    QMetaObject::invokeMethod(this, &DisconnectionWatch::disconnected, Qt::QueuedConnection);
}

void DisconnectionWatch::disconnected() {
  // Taken out first: the handler may destroy this watch, and with it a handler still running.
  const std::function<void()> lost = std::exchange(lost_, nullptr);
  if (lost) lost();
}

}  // namespace pellmor::qt
