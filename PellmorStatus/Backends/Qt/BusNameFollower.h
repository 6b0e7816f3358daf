#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "Backends/Qt/BusConnector.h"
#include "Backends/Qt/NonBlockingBus.h"

namespace pellmor::qt {

// Follows who owns one well-known name on the session bus, on a connection of its own that is opened in
// the background and again whenever the bus is lost (soon, then less and less often: a session without
// a bus costs a wake-up now and then). Nothing here waits on the bus.
class BusNameFollower final : public QObject {
 public:
  struct Handlers {
    // The connection is up, before its owner is asked: subscribe to the owner's signals here.
    std::function<void(const NonBlockingBus& bus)> connected;
    // An attempt to connect failed, or the connection broke (the owner is forgotten first).
    std::function<void()> unreachable;
    // The name has a new owner (a unique name), or none (empty).
    std::function<void(const QString& owner)> ownerChanged;
  };

  BusNameFollower(const QString& purpose, QString name, Handlers handlers);
  ~BusNameFollower() override;

  // Connected to the session bus, or still trying for the first time; false while the bus is lost.
  bool reachable() const { return reachable_; }
  const std::optional<NonBlockingBus>& bus() const { return bus_; }
  const QString& owner() const { return owner_; }
  // Makes and ends the connections items are served on.
  BusConnector& connector() { return connector_; }

  // A call to the bus daemon itself about `argument` (a name, a unique name).
  static QDBusMessage daemonCall(const QString& method, const QString& argument);

 private:
  void connectToBus();
  void connectedTo(const QDBusConnection& connection);
  void lost();
  void askForOwner();
  void ownerChangedTo(const QString& owner);

  BusConnector connector_;
  QString name_;
  Handlers handlers_;
  std::optional<NonBlockingBus> bus_;
  std::unique_ptr<QDBusServiceWatcher> serviceWatcher_;
  std::unique_ptr<DisconnectionWatch> disconnection_;
  QTimer retry_;
  int failedAttempts_ = 0;
  bool reachable_ = true;  // until the first attempt fails
  QString owner_;
};

}  // namespace pellmor::qt
