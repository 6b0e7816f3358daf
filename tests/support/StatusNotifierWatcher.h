#pragma once

// A StatusNotifierWatcher as a panel runs it, and what a host does with an item: read its properties and
// decode its pixmaps. Written from the freedesktop StatusNotifierItem specification on QtDBus, for the
// tests that play the host.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <QtEndian>

#include <functional>
#include <vector>

namespace pellmor::testing {

inline const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
inline const QString itemPath = QStringLiteral("/StatusNotifierItem");
inline const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");

// org.kde.StatusNotifierWatcher, with a host registered unless told otherwise (a panel's watcher that is up
// before its bar is): records the items that register, by the bus name that serves each (the sender's
// unique name for an item that registers its object path, as libappindicator's do). Restarting it means
// dropping this object and its connection and making a new one.
class Watcher : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)

 public:
  Watcher(const QString& address, const QString& connectionName, bool hostRegistered = true)
      : connection_(QDBusConnection::connectToBus(address, connectionName)), hostRegistered_(hostRegistered) {
    connection_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
  }
  // The connection closes when connection_, its last user, goes.
  ~Watcher() override { QDBusConnection::disconnectFromBus(connection_.name()); }

  bool ownName() { return connection_.registerService(watcherName); }
  const QStringList& items() const { return items_; }
  QDBusConnection& connection() { return connection_; }

  // Runs for each registration with the service that serves the item and the watcher's id for it.
  std::function<void(const QString& service, const QString& id)> onRegistered;

  // The property as the bus reads it, counting the reads.
  bool isHostRegistered() const {
    ++hostQuestions_;
    return hostRegistered_;
  }
  int hostQuestions() const { return hostQuestions_; }
  // A host registers, and the watcher tells everyone.
  void registerHost() {
    hostRegistered_ = true;
    connection_.send(watcherSignal(QStringLiteral("StatusNotifierHostRegistered")));
  }

  // Tells hosts the item is gone, as a watcher does when it gives up on an item.
  void dropItem(const QString& id) {
    connection_.send(watcherSignal(QStringLiteral("StatusNotifierItemUnregistered")) << id);
  }

 public Q_SLOTS:
  void RegisterStatusNotifierItem(const QString& serviceOrPath) {
    const bool byPath = serviceOrPath.startsWith(QLatin1Char('/'));
    const QString service = byPath ? message().service() : serviceOrPath;
    items_.push_back(service);
    if (onRegistered) onRegistered(service, byPath ? service + serviceOrPath : serviceOrPath);
  }

 private:
  static QDBusMessage watcherSignal(const QString& name) {
    return QDBusMessage::createSignal(QStringLiteral("/StatusNotifierWatcher"), watcherName, name);
  }

  QDBusConnection connection_;
  bool hostRegistered_;
  mutable int hostQuestions_ = 0;
  QStringList items_;
};

// Every property of the item, as a host reads them; none if the item does not answer.
inline QVariantMap itemProperties(QDBusConnection bus, const QString& service) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      service, itemPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
  call << itemInterface;
  const QDBusMessage reply = bus.call(call, QDBus::Block, 60'000);
  return reply.arguments().isEmpty() ? QVariantMap{} : qdbus_cast<QVariantMap>(reply.arguments().front());
}

// a(iiay) read as the StatusNotifierItem protocol lays it out: width, height, then ARGB32 pixels in network
// byte order.
inline std::vector<QImage> decodeIconPixmaps(const QDBusArgument& argument) {
  std::vector<QImage> images;
  argument.beginArray();
  while (!argument.atEnd()) {
    int width = 0;
    int height = 0;
    QByteArray bytes;
    argument.beginStructure();
    argument >> width >> height >> bytes;
    argument.endStructure();
    if (bytes.size() != static_cast<qsizetype>(width) * height * 4) return {};
    QImage image(width, height, QImage::Format_ARGB32);
    // Network byte order to the native 0xAARRGGBB words of ARGB32.
    qFromBigEndian<quint32>(bytes.constData(), bytes.size() / 4, image.bits());
    images.push_back(image);
  }
  argument.endArray();
  return images;
}

}  // namespace pellmor::testing
