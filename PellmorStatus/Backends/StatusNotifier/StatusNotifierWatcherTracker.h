#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>

namespace pellmor::sni {

// Follows org.kde.StatusNotifierWatcher on the session bus: whether one runs with a host registered
// (someone draws the items it keeps), and when its owner changes (a restarted panel), which forgets every
// item registered with the old one.
class StatusNotifierWatcherTracker final : public QObject {
  Q_OBJECT

 public:
  explicit StatusNotifierWatcherTracker(QDBusConnection bus);

  // A watcher owns its name and has a host, as far as is known; asks the bus daemon itself at first.
  bool available() const { return !owner_.isEmpty() && hostRegistered_; }

  // Asks the watcher to show the item published under the service name. Answered asynchronously; a
  // watcher that does not answer only costs the wait.
  void registerItem(const QString& service);

 Q_SIGNALS:
  // available() may have changed.
  void availabilityChanged();
  // A new watcher took the name: items must register again.
  void ownerChanged();

 private Q_SLOTS:
  void hostRegistered();
  void hostUnregistered();

 private:
  void ownerChangedTo(const QString& owner);
  void askWhetherHostRegistered();
  void setHostRegistered(bool registered);

  QDBusConnection bus_;
  QDBusServiceWatcher serviceWatcher_;
  QString owner_;
  bool hostRegistered_ = true;  // until the watcher says otherwise
};

}  // namespace pellmor::sni
