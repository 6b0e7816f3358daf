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

  // Points the process at the session bus open() connects to, before any thread starts (it sets the
  // environment). DBUS_SESSION_BUS_ADDRESS gets the address without its server's guid, so a new bus daemon
  // at the same address is reached too, or else $XDG_RUNTIME_DIR/bus: libdbus reads it once, and without
  // it would fork a bus daemon for the X display from a background process. DBUS_FATAL_WARNINGS=0, unless
  // the user has set it: libdbus aborts the process on any misuse it notices by default, and an item on a
  // menu bar outlives a fault in a library's bookkeeping.
  static void prepareEnvironment();

  // Connects a new connection to the session bus (whichever daemon serves its address now); `opened`
  // runs later on the main thread with it, connected or not. libdbus opens it and says Hello, and closes
  // it again when the bus refuses that (a full bus, its policy): QtDBus's own way with an address leaves a
  // refused connection's socket open.
  void open(Opened opened);
  // Ends a connection made by open(): its unique name leaves the bus, so watchers forget what it served.
  void close(const QDBusConnection& connection);

 private:
  bool addressed_;  // whether prepareEnvironment() found a session bus address
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
