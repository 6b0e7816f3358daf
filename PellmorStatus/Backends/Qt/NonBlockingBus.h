#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QObject>
#include <QString>
#include <utility>

namespace pellmor::qt {

class BusNameFollower;
class ServedConnection;

// A session bus connection as the front ends get it on the main thread: only what never waits on the bus
// daemon or a peer, so a stalled daemon cannot freeze the item. QDBusConnection's waiting calls (call(),
// registerService(), interface(), connecting to a named sender's signals) cannot be reached through it:
// for a sender named by a well-known name, QtDBus asks the daemon for its owner and waits for the answer.
// Signals are subscribed to by path and interface; the slot tells the sender by its unique name (a last
// parameter `const QDBusMessage&`).
class NonBlockingBus {
 public:
  // How long a call may wait for its answer: a peer or daemon that hangs must not hold anything back.
  static constexpr int callTimeoutMilliseconds = 5000;

  explicit NonBlockingBus(QDBusConnection connection) : connection_(std::move(connection)) {}

  QDBusPendingCall asyncCall(const QDBusMessage& call) const {
    return connection_.asyncCall(call, callTimeoutMilliseconds);
  }
  void send(const QDBusMessage& message) const { connection_.send(message); }
  void subscribe(const QString& path, const QString& interface, const QString& signal, QObject* receiver,
                 const char* slot) const {
    connection_.connect(QString(), path, interface, signal, receiver, slot);
  }
  void registerObject(const QString& path, QObject* object) const {
    connection_.registerObject(path, object, QDBusConnection::ExportAdaptors);
  }
  void unregisterObject(const QString& path) const { connection_.unregisterObject(path); }
  QString uniqueName() const { return connection_.baseService(); }
  // What waits in this process to be written to the bus daemon.
  qint64 outgoingBytes() const;

 private:
  // The pieces that open, watch and close connections; each of those steps either runs on the worker
  // or does not wait.
  friend class BusNameFollower;
  friend class ServedConnection;
  const QDBusConnection& connection() const { return connection_; }

  mutable QDBusConnection connection_;  // a handle: its copies share one connection
};

}  // namespace pellmor::qt
