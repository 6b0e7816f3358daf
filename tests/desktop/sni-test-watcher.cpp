// A StatusNotifierWatcher for the end-to-end scripts, on the session bus that DBUS_SESSION_BUS_ADDRESS
// names: prints "ready" once it owns its name and "registered <service>" for each item that registers.
// With a path as its argument it also saves the largest pixmap of each registered item there (PNG), as a
// host that keeps the aspect ratio shows it. Runs until it is killed.

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVariant>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/StatusNotifierWatcher.h"

namespace {

QImage largestPixmapOf(const QString& service) {
  QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("Get"));
  call << QStringLiteral("org.kde.StatusNotifierItem") << QStringLiteral("IconPixmap");
  const QDBusMessage reply =
      QDBusConnection::connectToBus(QString::fromLocal8Bit(std::getenv("DBUS_SESSION_BUS_ADDRESS")),
                                    QStringLiteral("reader"))
          .call(call);
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
  watcher.onRegistered = [&](const QString& service) {
    std::printf("registered %s\n", qPrintable(service));
    if (!iconPath.isEmpty() && largestPixmapOf(service).save(iconPath))
      std::printf("saved %s\n", qPrintable(iconPath));
    std::fflush(stdout);
  };
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}
