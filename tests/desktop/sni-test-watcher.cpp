// A StatusNotifierWatcher for the end-to-end scripts and tests, on the session bus that
// DBUS_SESSION_BUS_ADDRESS names: prints "ready" once it owns its name and "registered <service>" for each
// item that registers (the tests run it under a host's program name, as the item tells hosts apart by it).
// With a path as its argument it also saves the largest pixmap of a registered item there (PNG), as a
// host that keeps the aspect ratio shows it, and again after each NewIcon, printing "saved <path>" each
// time. Runs until it is killed.

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/StatusNotifierWatcher.h"

namespace {

using namespace pellmor::testing;

void saveLargestPixmap(const QString& service, const QString& path) {
  const std::vector<QImage> pixmaps = decodeIconPixmaps(itemProperties(QDBusConnection::sessionBus(), service)
                                                            .value(QStringLiteral("IconPixmap"))
                                                            .value<QDBusArgument>());
  // A D-Bus array holds at most 64 MiB, so the area of a decoded pixmap fits an int.
  const auto largest = std::ranges::max_element(
      pixmaps, {}, [](const QImage& image) { return image.width() * image.height(); });
  if (largest != pixmaps.end() && largest->save(path)) std::printf("saved %s\n", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line reaches the scripts as it is printed
  const QString iconPath = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  Watcher watcher(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("watcher"));
  if (!watcher.ownName()) {
    std::fprintf(stderr, "cannot own org.kde.StatusNotifierWatcher on the session bus\n");
    return 1;
  }
  watcher.onRegistered = [&](const QString& service, const QString&) {
    std::printf("registered %s\n", qPrintable(service));
    if (iconPath.isEmpty()) return;
    // QtDBus hands signals only to slots: NewIcon starts a single-shot timer whose timeout saves.
    auto* save = new QTimer(&application);
    save->setSingleShot(true);
    QObject::connect(save, &QTimer::timeout, [service, iconPath] { saveLargestPixmap(service, iconPath); });
    QDBusConnection::sessionBus().connect(service, itemPath, itemInterface, QStringLiteral("NewIcon"), save,
                                          SLOT(start()));
    save->start();
  };
  std::printf("ready\n");
  return QCoreApplication::exec();
}
