#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <functional>
#include <tuple>

#include "Backends/Qt/BusNameFollower.h"
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
  bool busReachable() const { return follower_.reachable(); }
  // Connected, a watcher owns its name, it is known which program it is, and it has a host.
  bool available() const {
    return connected() && !follower_.owner().isEmpty() && identified_ && hostRegistered_;
  }
  // The program that owns the watcher's name; unknown while none does.
  StatusNotifierHost host() const { return host_; }
  bool connected() const { return follower_.bus().has_value(); }
  // It is known which program owns the watcher's name, and the watcher has said since that a host is
  // registered with it (or could not say): an item that registers now is heard of by the host. waybar's
  // host reads the watcher's items and only then listens for new ones, so an item that registers while
  // that host is starting is never shown.
  bool readyForItems() const { return connected() && identified_ && hostHeard_; }

  // Makes and ends the connections items are served on.
  qt::BusConnector& connector() { return follower_.connector(); }
  // Asks the watcher to show the item at `path` on `itemConnection`: the call comes from that
  // connection, so the watcher knows the item by its unique name. Answered asynchronously; nothing is
  // asked until the watcher is ready for items.
  void registerItem(const qt::NonBlockingBus& itemConnection, const QString& path);

 Q_SIGNALS:
  // busReachable(), available() or host() may have changed.
  void availabilityChanged();
  // A new watcher took the name, or the bus came back, and it is known which program it is.
  void ownerChanged();
  // readyForItems() became true, once for each owner: items register now.
  void becameReadyForItems();
  // The watcher dropped the item it knows by `id` (its own naming, which holds the item's bus name).
  void itemUnregistered(const QString& id);

 private Q_SLOTS:
  // The watcher's signals, from whichever sender: only its owner's count.
  void hostRegistered(const QDBusMessage& message);
  void hostUnregistered(const QDBusMessage& message);
  void watcherDroppedItem(const QString& id, const QDBusMessage& message);

 private:
  void connectedTo(const qt::NonBlockingBus& bus);
  bool fromWatcher(const QDBusMessage& message) const;
  void lost();
  void ownerChangedTo(const QString& owner);
  void identify(const QString& owner);
  void identified(const QString& owner, StatusNotifierHost host);
  void askWhetherHostRegistered();
  void setHostRegistered(bool registered);
  void changeState(const std::function<void()>& change);

  bool identified_ = false;
  StatusNotifierHost host_ = StatusNotifierHost::unknown;
  bool hostRegistered_ = true;  // until the watcher says otherwise
  bool hostHeard_ = false;      // the watcher has said it has a host since its owner was identified
  std::tuple<bool, bool, StatusNotifierHost> reported_{true, false, StatusNotifierHost::unknown};
  qt::BusNameFollower follower_;  // last: its handlers use the rest
};

}  // namespace pellmor::sni
