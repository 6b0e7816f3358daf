#pragma once

// The companion on a session bus of the test's own, with no display, for the tests that play its peers on
// the bus: the bus daemon at a fixed address (so a new daemon can take the old one's place), the test's
// connection to it, the companion's process on it, and what the companion prints.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/Channel.h"

namespace pellmor::testing {

// Runs Qt's event loop until the condition holds; generous, as a busy machine starts Qt slowly.
template <typename Condition>
bool waitFor(Condition condition) {
  return QTest::qWaitFor(condition, static_cast<int>(patience(60).count()));
}

// A child that dies with the test, whatever ends the test: no companion or bus daemon outlives a failure.
inline void startChild(QProcess& process, const QString& program, const QStringList& arguments) {
  process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
  process.start(program, arguments);
}

class CompanionOnPrivateBus : public ::testing::Test {
 protected:
  // The name of the test's own connection, peer_.
  static inline const QString peerName = QStringLiteral("test-peer");

  void SetUp() override { ASSERT_NO_FATAL_FAILURE(startBus()); }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(peerName);
    for (QProcess* process : {&companion_, &bus_}) {
      if (process->state() == QProcess::NotRunning) continue;
      kill(static_cast<pid_t>(process->processId()), SIGCONT);  // a test may have stopped it
      process->kill();
      process->waitForFinished();
    }
  }

  void startBus() {
    const auto socket = std::filesystem::path(runtime_.path()) / "bus";
    writeBusConfig();
    startChild(bus_, QStringLiteral("dbus-daemon"),
               {QStringLiteral("--config-file=") + QString::fromStdString(busConfig().string()),
                QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                QStringLiteral("--address=unix:path=") + QString::fromStdString(socket.string())});
    ASSERT_TRUE(waitFor([&] { return bus_.canReadLine(); })) << "dbus-daemon gave no address";
    address_ = QString::fromLatin1(bus_.readLine().trimmed());
    peer_ = QDBusConnection::connectToBus(address_, peerName);
    ASSERT_TRUE(peer_.isConnected());
  }
  // The bus dies, and the test's connection with it.
  void stopBus() {
    QDBusConnection::disconnectFromBus(peerName);
    bus_.kill();
    bus_.waitForFinished();
  }

  // Sets one of the bus daemon's limits (max_connections_per_user caps this user's connections, as a full
  // session bus does), or puts its default back; the daemon applies it at once, to connections made after.
  void limitBus(const std::string& name, std::optional<int> limit) {
    limit ? void(limits_[name] = *limit) : void(limits_.erase(name));
    writeBusConfig();
    const QDBusMessage reload = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig"));
    ASSERT_EQ(peer_.call(reload).type(), QDBusMessage::ReplyMessage);
  }
  // What the bus daemon has logged so far.
  const QString& busLog() {
    busLog_ += QString::fromUtf8(bus_.readAllStandardError());
    return busLog_;
  }

  // The companion without a display, in the test's runtime directory, on the private bus; `host` forces
  // one front end.
  void startCompanion(const QString& host = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "PELLMOR_STATUS_HOST"})
      environment.remove(QString::fromLatin1(name));
    if (!host.isEmpty()) environment.insert(QStringLiteral("PELLMOR_STATUS_HOST"), host);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime_.path()));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    companion_.setProcessEnvironment(environment);
    startChild(companion_, QStringLiteral(PELLMOR_STATUS_PATH), {});
    ASSERT_TRUE(companion_.waitForStarted()) << companion_.errorString().toStdString();
  }

  // The whole lines the companion has printed so far on one of its streams.
  const std::vector<std::string>& printed(QProcess::ProcessChannel channel) {
    std::vector<std::string>& lines = channel == QProcess::StandardOutput ? out_ : err_;
    companion_.setReadChannel(channel);
    while (companion_.waitForReadyRead(0)) {
    }  // what the pipe holds already, without waiting
    while (companion_.canReadLine())
      lines.push_back(companion_.readLine().chopped(1).toStdString());
    return lines;
  }

  // The path of one of the companion's FIFOs, once it exists.
  std::string fifo(const char* name) const {
    const auto path = std::filesystem::path(runtime_.path()) / PELLMOR_APP_GROUP_IDENTIFIER / name;
    EXPECT_TRUE(waitFor([&] { return std::filesystem::is_fifo(path); })) << name << " did not appear";
    return path.string();
  }

  // Reads as the main application: how many lines arrive before `sentinel`, which `poke` makes the
  // companion send and is repeated until it arrives; nothing when it never does.
  std::optional<int> linesBefore(std::string_view sentinel, const std::function<void()>& poke) {
    MainAppReader mainApp(fifo("to_main.fifo"));
    int lines = 0;
    bool arrived = false;
    const bool done = waitFor([&] {
      poke();
      while (const auto line = mainApp.readLine(std::chrono::milliseconds(100))) {
        arrived = arrived || *line == sentinel;
        if (!arrived) ++lines;
      }
      return arrived;
    });
    return done ? std::optional<int>(lines) : std::nullopt;
  }

  // The process of the connection that serves `service`, as the bus daemon knows it.
  qint64 processServing(const QString& service) { return peer_.interface()->servicePid(service).value(); }

  std::filesystem::path busConfig() const { return std::filesystem::path(runtime_.path()) / "bus.conf"; }
  // The session bus's own configuration, with the test's limits.
  void writeBusConfig() const {
    std::ofstream config(busConfig());
    config << "<busconfig><include>/usr/share/dbus-1/session.conf</include>";
    for (const auto& [name, limit] : limits_)
      config << "<limit name=\"" << name << "\">" << limit << "</limit>";
    config << "</busconfig>\n";
  }

  TempDirectory runtime_;
  std::map<std::string, int> limits_;
  QProcess bus_;
  QString busLog_;
  QString address_;
  QDBusConnection peer_{QString()};
  QProcess companion_;
  std::vector<std::string> out_;
  std::vector<std::string> err_;
};

}  // namespace pellmor::testing
