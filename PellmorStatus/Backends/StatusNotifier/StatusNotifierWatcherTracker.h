#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

#include "Backends/Qt/BusConnector.h"
#include "Backends/StatusNotifier/StatusNotifierHost.h"

namespace pellmor::sni {

// Follows org.kde.StatusNotifierWatcher on the session bus: whether one runs with a host registered
// (someone draws the items it keeps), which program it is, and when its owner changes (a restarted
// panel), which forgets every item registered with the old one. Connects in the background and again
// whenever the bus is lost; nothing here waits on the bus.
class StatusNotifierWatcherTracker final : public QObject {
  Q_OBJECT

 public:
  StatusNotifierWatcherTracker();
  ~StatusNotifierWatcherTracker() override;

  // Connected to the session bus, or still trying for the first time; false while the bus is lost.
  bool busReachable() const { return reachable_; }
  // Connected, a watcher owns its name, it is known which program it is, and it has a host.
  bool available() const { return bus_ && !owner_.isEmpty() && identified_ && hostRegistered_; }
  // The program that owns the watcher's name; unknown while none does.
  StatusNotifierHost host() const { return host_; }
  bool connected() const { return bus_.has_value(); }

  // Makes and ends the connections items are served on.
  qt::BusConnector& connector() { return connector_; }
  // Asks the watcher to show the item at `path` on `itemConnection`: the call comes from that
  // connection, so the watcher knows the item by its unique name. Answered asynchronously.
  void registerItem(const QDBusConnection& itemConnection, const QString& path);

 Q_SIGNALS:
  // busReachable(), available() or host() may have changed.
  void availabilityChanged();
  // A new watcher took the name, or the bus came back: items must register again.
  void ownerChanged();
  // The watcher dropped the item it knows by `id` (its own naming, which holds the item's bus name).
  void itemUnregistered(const QString& id);

 private Q_SLOTS:
  void hostRegistered();
  void hostUnregistered();
  void watcherDroppedItem(const QString& id);

 private:
  void connectToBus();
  void connectedTo(const QDBusConnection& connection);
  void lost();
  void askForOwner();
  void ownerChangedTo(const QString& owner);
  void identify(const QString& owner);
  void identified(const QString& owner, StatusNotifierHost host);
  void askWhetherHostRegistered();
  void setHostRegistered(bool registered);
  void changeState(const std::function<void()>& change);

  qt::BusConnector connector_;
  std::optional<QDBusConnection> bus_;
  std::unique_ptr<QDBusServiceWatcher> serviceWatcher_;
  std::unique_ptr<qt::DisconnectionWatch> disconnection_;
  QTimer retry_;
  int failedAttempts_ = 0;
  bool reachable_ = true;  // until the first attempt fails
  QString owner_;
  bool identified_ = false;
  StatusNotifierHost host_ = StatusNotifierHost::unknown;
  bool hostRegistered_ = true;  // until the watcher says otherwise
};

}  // namespace pellmor::sni
