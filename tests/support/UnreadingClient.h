#pragma once

// A session bus client that asks and, until told to, reads none of the answers, so they pile up in the bus
// daemon and behind it in the process that sends them. Written on libdbus rather than QtDBus: libdbus
// reads only when asked to, and its incoming limit keeps it from reading ahead while it writes.

#include <dbus/dbus.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "support/Channel.h"

namespace pellmor::testing {

class UnreadingClient {
 public:
  // What came back for the calls sent: how many answers, and their size on the wire.
  struct Answers {
    int count = 0;
    std::int64_t bytes = 0;
  };

  explicit UnreadingClient(const std::string& address) {
    DBusError error;
    dbus_error_init(&error);
    connection_.reset(dbus_connection_open_private(address.c_str(), &error));
    if (connection_ && !dbus_bus_register(connection_.get(), &error)) connection_.reset();
    dbus_error_free(&error);
    if (!connection_) return;
    dbus_connection_set_exit_on_disconnect(connection_.get(), false);
    dbus_connection_set_max_received_size(connection_.get(), 1);  // what has arrived already is enough
  }

  bool connected() const { return connection_ != nullptr; }

  // Properties.Get of a string-named property, written out at once.
  void getProperty(const std::string& service, const std::string& path, const std::string& interface,
                   const std::string& property) {
    send(service, path, "org.freedesktop.DBus.Properties", "Get", [&](DBusMessage* call) {
      const char* arguments[] = {interface.c_str(), property.c_str()};
      dbus_message_append_args(call, DBUS_TYPE_STRING, &arguments[0], DBUS_TYPE_STRING, &arguments[1],
                               DBUS_TYPE_INVALID);
    });
  }
  // A click as hosts send it, with the pointer's position.
  void click(const std::string& service, const std::string& path, const std::string& interface,
             const std::string& method) {
    send(service, path, interface, method, [](DBusMessage* call) {
      const dbus_int32_t x = 0, y = 0;
      dbus_message_append_args(call, DBUS_TYPE_INT32, &x, DBUS_TYPE_INT32, &y, DBUS_TYPE_INVALID);
    });
  }

  // Reads until every call sent has its answer, or the deadline passes.
  Answers readAnswers(std::chrono::milliseconds deadline = patience(120)) {
    dbus_connection_set_max_received_size(connection_.get(), INT32_MAX);
    const auto end = std::chrono::steady_clock::now() + deadline;
    Answers answers;
    while (!awaited_.empty() && std::chrono::steady_clock::now() < end &&
           dbus_connection_read_write(connection_.get(), 100)) {
      while (DBusMessage* message = dbus_connection_pop_message(connection_.get())) {
        if (awaited_.erase(dbus_message_get_reply_serial(message)) > 0) {
          ++answers.count;
          answers.bytes += wireSize(message);
        }
        dbus_message_unref(message);
      }
    }
    return answers;
  }

 private:
  struct Closer {
    void operator()(DBusConnection* connection) const {
      dbus_connection_close(connection);
      dbus_connection_unref(connection);
    }
  };

  template <typename AddArguments>
  void send(const std::string& service, const std::string& path, const std::string& interface,
            const std::string& method, AddArguments addArguments) {
    DBusMessage* call =
        dbus_message_new_method_call(service.c_str(), path.c_str(), interface.c_str(), method.c_str());
    addArguments(call);
    dbus_uint32_t serial = 0;
    dbus_connection_send(connection_.get(), call, &serial);
    awaited_.insert(serial);
    dbus_message_unref(call);
    dbus_connection_flush(connection_.get());
  }

  static std::int64_t wireSize(DBusMessage* message) {
    char* marshalled = nullptr;
    int length = 0;
    if (!dbus_message_marshal(message, &marshalled, &length)) return 0;
    dbus_free(marshalled);
    return length;
  }

  std::unique_ptr<DBusConnection, Closer> connection_;
  std::set<dbus_uint32_t> awaited_;  // the serials of calls not answered yet
};

}  // namespace pellmor::testing
