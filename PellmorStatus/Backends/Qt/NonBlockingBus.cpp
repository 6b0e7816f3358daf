#include "Backends/Qt/NonBlockingBus.h"

#include <dbus/dbus.h>

namespace pellmor::qt {

// QtDBus does not tell how much waits to be written; its connection is libdbus's, which does.
qint64 NonBlockingBus::outgoingBytes() const {
  auto* connection = static_cast<DBusConnection*>(connection_.internalPointer());
  return connection ? dbus_connection_get_outgoing_size(connection) : 0;
}

}  // namespace pellmor::qt
