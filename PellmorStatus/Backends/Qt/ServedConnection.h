#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "Backends/Qt/BusConnector.h"
#include "Backends/Qt/NonBlockingBus.h"

namespace pellmor::qt {

// The connection an item is served on while it is wanted: opened in the background, its objects
// unregistered and the connection closed when the item is withdrawn (its unique name leaves the bus, so
// hosts forget the item), forgotten when the bus goes. Nothing here waits on the bus.
class ServedConnection final : public QObject {
 public:
  // Runs once the connection is open, to register the item's objects and announce it.
  using Served = std::function<void(const NonBlockingBus& bus)>;

  ServedConnection(BusConnector& connector, Served served);
  ~ServedConnection() override;

  // Opens a connection unless one is open or being opened.
  void open();
  // Withdraws the item: a connection still being opened is closed as soon as it is.
  void close();

  // Registers `object` at `path` on the open connection, until close().
  void registerObject(const QString& path, QObject* object);
  // The open connection; none while opening, after close() or once the bus is lost.
  const std::optional<NonBlockingBus>& bus() const { return bus_; }

 private:
  void opened(const QDBusConnection& connection);
  void lost();

  BusConnector& connector_;
  Served served_;
  std::optional<NonBlockingBus> bus_;
  std::unique_ptr<DisconnectionWatch> disconnection_;
  QStringList paths_;
  bool wanted_ = false;
  bool opening_ = false;
};

}  // namespace pellmor::qt
