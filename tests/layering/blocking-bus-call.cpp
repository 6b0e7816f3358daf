// Does not build: the bus the front ends get on the main thread has no way to subscribe to a named
// sender's signals, for which QtDBus would wait on the bus daemon.
#include "Backends/Qt/NonBlockingBus.h"

void subscribeToNamedSender(const pellmor::qt::NonBlockingBus& bus, QObject* receiver) {
  bus.connect(QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
              QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("StatusNotifierHostRegistered"),
              receiver, SLOT(hostRegistered()));
}
