#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "Backends/Qt/BusConnector.h"
#include "Backends/Qt/NonBlockingBus.h"

namespace pellmor::qt {

// The connection an item is served on while it is published and the bus is up: opened in the background,
// its objects unregistered and the connection closed when the item is withdrawn (its unique name leaves
// the bus, so hosts forget the item), closed when it breaks. A connection that could not be opened or that
// broke on its own is tried again later: the tracker's connection may stay up and then tells of nothing.
// Nothing here waits on the bus.
class ServedConnection final : public QObject {
 public:
  // Runs once the connection is open, to register the item's objects and announce it.
  using Served = std::function<void(const NonBlockingBus& bus)>;

  // `servable` says whether the item can be served now: the tracker's own connection to the bus is up.
  ServedConnection(BusConnector& connector, std::function<bool()> servable, Served served);
  ~ServedConnection() override;

  // While published the item is served whenever servable() holds; unpublishing withdraws it.
  void setPublished(bool published);
  bool published() const { return published_; }
  // Serves the published item if servable() holds now: called whenever that may have changed.
  void serveWhenPossible();

  // Registers `object` at `path` on the open connection, until the item is withdrawn.
  void registerObject(const QString& path, QObject* object);
  // The open connection; none while opening, after close() or once the bus is lost.
  const std::optional<NonBlockingBus>& bus() const { return bus_; }

 private:
  // Opens a connection unless one is open or being opened.
  void open();
  // Withdraws the item: a connection still being opened is closed as soon as it is.
  void close();
  void opened(const QDBusConnection& connection);
  void lost();
  void retryLater();

  BusConnector& connector_;
  std::function<bool()> servable_;
  Served served_;
  std::optional<NonBlockingBus> bus_;
  std::unique_ptr<DisconnectionWatch> disconnection_;
  QStringList paths_;
  QTimer retry_;
  int failedOpens_ = 0;
  bool published_ = false;
  bool opening_ = false;
};

}  // namespace pellmor::qt
