// A StatusNotifierWatcher for the end-to-end scripts, on the session bus that DBUS_SESSION_BUS_ADDRESS
// names: prints "ready" once it owns its name and "registered <service>" for each item that registers.
// With a path as its argument it also saves the largest pixmap of a registered item there (PNG), as a
// host that keeps the aspect ratio shows it, and again after each NewIcon, printing "saved <path>" each
// time. Runs until it is killed.

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "support/StatusNotifierWatcher.h"

namespace {

using namespace pellmor::testing;

void saveLargestPixmap(const QString& service, const QString& path) {
  const std::vector<QImage> pixmaps = decodeIconPixmaps(itemProperties(QDBusConnection::sessionBus(), service)
                                                            .value(QStringLiteral("IconPixmap"))
                                                            .value<QDBusArgument>());
  const auto largest = std::max_element(pixmaps.begin(), pixmaps.end(), [](const QImage& a, const QImage& b) {
    return static_cast<qint64>(a.width()) * a.height() < static_cast<qint64>(b.width()) * b.height();
  });
  if (largest != pixmaps.end() && largest->save(path)) std::printf("saved %s\n", qPrintable(path));
  std::fflush(stdout);
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
  Watcher watcher(address, QStringLiteral("watcher"));
  if (!watcher.registeredName()) {
    std::fprintf(stderr, "cannot own org.kde.StatusNotifierWatcher\n");
    return 1;
  }
  std::vector<std::unique_ptr<ItemSignalListener>> newIcons;
  watcher.onRegistered = [&](const QString& service) {
    std::printf("registered %s\n", qPrintable(service));
    std::fflush(stdout);
    if (iconPath.isEmpty()) return;
    const auto save = [service, iconPath](const QDBusMessage&) { saveLargestPixmap(service, iconPath); };
    newIcons.push_back(std::make_unique<ItemSignalListener>(QDBusConnection::sessionBus(), service,
                                                            QStringLiteral("NewIcon"), save));
    save({});
  };
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}
