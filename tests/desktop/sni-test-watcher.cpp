// A StatusNotifierWatcher for the end-to-end scripts, on the session bus that DBUS_SESSION_BUS_ADDRESS
// names: prints "ready" once it owns its name and "registered <service>" for each item that registers.
// With a path as its argument it also saves the largest pixmap of a registered item there (PNG), as a
// host that keeps the aspect ratio shows it, and again after each NewIcon, printing "saved <path>" each
// time. Runs until it is killed.

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVariant>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "support/StatusNotifierWatcher.h"

namespace {

const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");

QDBusConnection readerBus() {
  return QDBusConnection::connectToBus(QString::fromLocal8Bit(std::getenv("DBUS_SESSION_BUS_ADDRESS")),
                                       QStringLiteral("reader"));
}

QImage largestPixmapOf(const QString& service) {
  QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("Get"));
  call << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("IconPixmap");
  const QDBusMessage reply = readerBus().call(call);
  if (reply.arguments().isEmpty()) return {};
  const QDBusArgument pixmaps =
      reply.arguments().front().value<QDBusVariant>().variant().value<QDBusArgument>();
  QImage largest;
  for (const QImage& image : pellmor::testing::decodeIconPixmaps(pixmaps)) {
    if (static_cast<qint64>(image.width()) * image.height() >
        static_cast<qint64>(largest.width()) * largest.height())
      largest = image;
  }
  return largest;
}

// Saves the item's largest pixmap now and after each of its NewIcon signals.
class IconSaver : public QObject {
  Q_OBJECT

 public:
  IconSaver(QString service, QString path) : service_(std::move(service)), path_(std::move(path)) {
    readerBus().connect(service_, QStringLiteral("/StatusNotifierItem"), itemInterface,
                        QStringLiteral("NewIcon"), this, SLOT(save()));
    save();
  }

 public Q_SLOTS:
  void save() {
    if (largestPixmapOf(service_).save(path_)) std::printf("saved %s\n", qPrintable(path_));
    std::fflush(stdout);
  }

 private:
  QString service_;
  QString path_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr) {
    std::fprintf(stderr, "DBUS_SESSION_BUS_ADDRESS is not set\n");
    return 1;
  }
  const QString iconPath = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  pellmor::testing::Watcher watcher(address, QStringLiteral("watcher"));
  if (!watcher.registeredName()) {
    std::fprintf(stderr, "cannot own org.kde.StatusNotifierWatcher\n");
    return 1;
  }
  std::vector<std::unique_ptr<IconSaver>> savers;
  watcher.onRegistered = [&](const QString& service) {
    std::printf("registered %s\n", qPrintable(service));
    std::fflush(stdout);
    if (!iconPath.isEmpty()) savers.push_back(std::make_unique<IconSaver>(service, iconPath));
  };
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}

#include "sni-test-watcher.moc"
