#include "Backends/Qt/ServedConnection.h"

#include <QPointer>
#include <utility>

namespace pellmor::qt {

ServedConnection::ServedConnection(BusConnector& connector, std::function<bool()> servable, Served served)
    : connector_(connector), servable_(std::move(servable)), served_(std::move(served)) {
  retry_.setSingleShot(true);
  connect(&retry_, &QTimer::timeout, this, [this] { serveWhenPossible(); });
}

ServedConnection::~ServedConnection() {
  close();
}

void ServedConnection::setPublished(bool published) {
  if (published == published_) return;
  published_ = published;
  if (published_) {
    serveWhenPossible();
  } else {
    close();
  }
}

void ServedConnection::serveWhenPossible() {
  if (published_ && servable_()) open();
}

void ServedConnection::open() {
  if (bus_ || opening_) return;
  opening_ = true;
  connector_.open([self = QPointer(this), &connector = connector_](const QDBusConnection& connection) {
    if (!self) {
      if (connection.isConnected()) connector.close(connection);
      return;
    }
    self->opened(connection);
  });
}

void ServedConnection::opened(const QDBusConnection& connection) {
  opening_ = false;
  if (!connection.isConnected()) return retryLater();
  if (!published_) return connector_.close(connection);
  failedOpens_ = 0;
  bus_.emplace(connection);
  disconnection_ = std::make_unique<DisconnectionWatch>(connection, [this] { lost(); });
  served_(*bus_);
}

void ServedConnection::lost() {
  // The watch is running this very handler, so it goes once the handler has returned.
  disconnection_.release()->deleteLater();
  paths_.clear();
  connector_.close(bus_->connection());  // QtDBus keeps a broken connection under its name until then
  bus_.reset();
  // Once the whole bus is gone the tracker turns unreachable, and the retry finds nothing to serve.
  retryLater();
}

void ServedConnection::retryLater() {
  if (published_) retry_.start(retryDelay(failedOpens_++));
}

void ServedConnection::close() {
  retry_.stop();
  if (!bus_) return;
  disconnection_.reset();
  for (const QString& path : std::as_const(paths_))
    bus_->unregisterObject(path);
  paths_.clear();
  connector_.close(bus_->connection());
  bus_.reset();
}

void ServedConnection::registerObject(const QString& path, QObject* object) {
  if (!bus_) return;
  bus_->registerObject(path, object);
  paths_.append(path);
}

}  // namespace pellmor::qt
