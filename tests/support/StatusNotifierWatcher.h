#pragma once

// A StatusNotifierWatcher as a panel runs it, and the decoding a host does of an item's pixmaps, written
// from the freedesktop StatusNotifierItem specification on QtDBus, for the tests that play the host.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace pellmor::testing {

inline const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");

// org.kde.StatusNotifierWatcher as a panel runs it, with a host registered: records the items that
// register. Restarting it means dropping this object and its connection and making a new one.
class Watcher : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
  Q_PROPERTY(int ProtocolVersion READ protocolVersion)

 public:
  Watcher(const std::string& address, const QString& connectionName)
      : connection_(QDBusConnection::connectToBus(QString::fromStdString(address), connectionName)) {
    connection_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                   QDBusConnection::ExportAllProperties);
    registered_ = connection_.registerService(watcherName);
  }
  ~Watcher() override {
    const QString name = connection_.name();
    connection_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name);
  }

  bool registeredName() const { return registered_; }
  const QStringList& items() const { return items_; }
  QStringList registeredItems() const { return items_; }
  bool hostRegistered() const { return true; }
  int protocolVersion() const { return 0; }

  std::function<void(const QString& service)> onRegistered;

 public Q_SLOTS:
  void RegisterStatusNotifierItem(const QString& service) {
    items_.push_back(service);
    if (onRegistered) onRegistered(service);
    Q_EMIT StatusNotifierItemRegistered(service);
  }
  void RegisterStatusNotifierHost(const QString&) {}

 Q_SIGNALS:
  void StatusNotifierItemRegistered(const QString& service);
  void StatusNotifierItemUnregistered(const QString& service);
  void StatusNotifierHostRegistered();
  void StatusNotifierHostUnregistered();

 private:
  QDBusConnection connection_;
  bool registered_ = false;
  QStringList items_;
};

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
    QImage image(width, height, QImage::Format_ARGB32);
    if (bytes.size() != static_cast<qsizetype>(width) * height * 4) return {};
    const auto* pixel = reinterpret_cast<const uchar*>(bytes.constData());
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x, pixel += 4)
        image.setPixel(x, y, qRgba(pixel[1], pixel[2], pixel[3], pixel[0]));
    }
    images.push_back(image);
  }
  argument.endArray();
  return images;
}

}  // namespace pellmor::testing
