#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

#include "Backends/Qt/MainThreadTasks.h"
#include "Support/SerialQueue.h"

namespace pellmor::qt {

// Opens and closes private session bus connections on a worker thread. QtDBus connects, says Hello and
// closes synchronously, and a stalled bus daemon must never hold the main thread. Each front end has its
// own, named after it: QtDBus knows connections by name across the whole process.
class BusConnector final : public QObject {
  Q_OBJECT

 public:
  using Opened = std::function<void(QDBusConnection connection)>;

  explicit BusConnector(const QString& purpose);
  ~BusConnector() override;

  // QtDBus drops a connection whose Hello the bus refused (a full bus, its policy) without closing it, and
  // libdbus takes that for a bug and aborts the process unless DBUS_FATAL_WARNINGS says otherwise; this
  // says so, keeping a setting of the user's own. libdbus then only keeps the refused connection's socket,
  // and attempts slow down to one every 30 s. Sets the environment: call before any thread starts.
  static void surviveRefusedConnections();

  // Connects a new connection to the session bus (whichever daemon serves its address now); `opened`
  // runs later on the main thread with it, connected or not.
  void open(Opened opened);
  // Ends a connection made by open(): its unique name leaves the bus, so watchers forget what it served.
  void close(const QDBusConnection& connection);

 private:
  // DBUS_SESSION_BUS_ADDRESS without the server's guid, so a new bus daemon at the same address is
  // reached too; else $XDG_RUNTIME_DIR/bus; empty when neither is set.
  QString address_;
  QString purpose_;
  quint64 opened_ = 0;
  MainThreadTasks results_;  // what the worker opened, for the main thread; dropped with the connector
  SerialQueue worker_;       // last: joined before the rest goes
};

// The wait before the next attempt to connect after `failures` failed ones in a row: soon, then less and
// less often, so a session whose bus is gone or refuses connections costs a wake-up now and then.
std::chrono::milliseconds retryDelay(int failures);

// Runs `lost` on the main thread once the connection breaks (libdbus's local Disconnected signal), or soon
// after the watch is made when it is broken already (its signal then went to no one); `lost` may destroy
// the watch.
class DisconnectionWatch final : public QObject {
  Q_OBJECT

 public:
  DisconnectionWatch(QDBusConnection connection, std::function<void()> lost);

 private Q_SLOTS:
  void disconnected();

 private:
  std::function<void()> lost_;
};

}  // namespace pellmor::qt
