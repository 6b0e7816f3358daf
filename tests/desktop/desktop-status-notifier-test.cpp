// The companion as a StatusNotifierItem, end to end: the real process on a private session bus with no
// display, against a watcher and a host written here on QtDBus. The host reads what hosts read, clicks as
// hosts click, and the test checks the lines the companion prints and the messages it sends.

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Backends/Qt/ItemPainter.h"
#include "StatusItem.h"
#include "support/Channel.h"
#include "support/StatusNotifierWatcher.h"

namespace pellmor::testing {
namespace {

// Runs Qt's event loop until the condition holds; generous, as a busy machine starts Qt slowly.
template <typename Condition>
bool waitFor(Condition condition) {
  return QTest::qWaitFor(condition, static_cast<int>(patience(60).count()));
}

// What the companion draws, computed here by the same core: compact squares at 16 to 64 pixels, then the
// full row at 3x, as ARGB32.
std::vector<QImage> expectedPixmaps() {
  ManualMainThread mainThread;
  FakeClock clock{1'700'000'000.0};
  FakeTickerFactory tickers;
  TempChannel channel{mainThread};
  StatusItem content({.channel = [&]() -> FIFOManager& { return channel.fifo(); },
                      .mainThread = &mainThread,
                      .clock = &clock,
                      .tickers = &tickers},
                     std::make_shared<SizeSubject>());
  content.install([] {});
  mainThread.drain();
  std::vector<QImage> images;
  for (int side : {16, 22, 24, 32, 48, 64}) {
    const platform::RenderDescription square = content.render({1.0 * side, 1.0 * side});
    images.push_back(
        qt::renderItemImage(square, QSize(side, side), 1.0).convertToFormat(QImage::Format_ARGB32));
  }
  images.push_back(
      qt::renderItemImage(content.render(), QSize(63, 16), 3.0).convertToFormat(QImage::Format_ARGB32));
  return images;
}

class StatusNotifierItemEndToEnd : public ::testing::Test {
 protected:
  // A session bus of our own; the daemon prints its address first.
  void SetUp() override {
    bus_.startCommand(QStringLiteral("dbus-daemon --session --nofork --print-address=1"));
    ASSERT_TRUE(waitFor([&] { return bus_.canReadLine(); })) << "dbus-daemon gave no address";
    address_ = QString::fromLatin1(bus_.readLine().trimmed());
    host_ = QDBusConnection::connectToBus(address_, QStringLiteral("test-host"));
    ASSERT_TRUE(host_.isConnected());
  }
  void TearDown() override { QDBusConnection::disconnectFromBus(QStringLiteral("test-host")); }

  // A new watcher, and the service name the item registered with it; none if it did not.
  QString startWatcherAndAwaitItem() {
    watcher_ = std::make_unique<Watcher>(address_, QStringLiteral("test-watcher"));
    EXPECT_TRUE(watcher_->ownName());
    waitFor([&] { return !watcher_->items().empty(); });
    return watcher_->items().value(0);
  }

  // The companion without a display, in the test's runtime directory, on the private bus.
  void startCompanion() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "PELLMOR_STATUS_HOST"})
      environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime_.path()));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    companion_.setProcessEnvironment(environment);
    companion_.start(QStringLiteral(PELLMOR_STATUS_PATH), {});
    ASSERT_TRUE(companion_.waitForStarted()) << companion_.errorString().toStdString();
  }

  // The whole lines the companion has printed so far on one of its streams.
  const std::vector<std::string>& printed(QProcess::ProcessChannel channel) {
    std::vector<std::string>& lines = channel == QProcess::StandardOutput ? out_ : err_;
    companion_.setReadChannel(channel);
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

  QProcess bus_;
  QString address_;
  TempDirectory runtime_;
  QDBusConnection host_{QString()};
  std::unique_ptr<Watcher> watcher_;
  QProcess companion_;
  std::vector<std::string> out_;
  std::vector<std::string> err_;
};

TEST_F(StatusNotifierItemEndToEnd, RegistersWithEachNewWatcherAndServesTheHost) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  // No watcher yet: the companion says so once and keeps serving its channel.
  const std::string missing =
      "No tray to show the status item in: no X display, no StatusNotifierWatcher with a host on the session "
      "bus; the item appears as soon as one starts";
  EXPECT_TRUE(waitFor([&] { return printed(QProcess::StandardError) == std::vector<std::string>{missing}; }));

  const QString service = startWatcherAndAwaitItem();
  ASSERT_FALSE(service.isEmpty());
  watcher_.reset();  // the panel restarts
  ASSERT_TRUE(waitFor([&] { return !host_.interface()->isServiceRegistered(watcherName).value(); }));
  EXPECT_EQ(startWatcherAndAwaitItem(), service);
  // A panel that is merely restarting leaves the item without a host for a moment only: no second line.
  EXPECT_EQ(printed(QProcess::StandardError), std::vector<std::string>{missing});

  const QString words = QStringLiteral("Pellmor: Timer stopped; click the button to start it. Shown: -:--");
  const QVariantMap properties = itemProperties(host_, service);
  const std::pair<const char*, QVariant> expected[] = {
      {"Category", QStringLiteral("ApplicationStatus")},
      {"Id", QStringLiteral("PellmorStatus")},
      {"Title", words},
      {"Status", QStringLiteral("Active")},
      {"IconName", QString()},
      {"ItemIsMenu", false},
      {"Menu", QVariant::fromValue(QDBusObjectPath(QStringLiteral("/MenuBar")))},
      {"XAyatanaLabel", QStringLiteral("-:--")},
      {"XAyatanaLabelGuide", QStringLiteral("Sign In")},
  };
  for (const auto& [name, value] : expected)
    EXPECT_EQ(properties.value(QString::fromLatin1(name)), value) << name;

  // (sa(iiay)ss): the words as its title.
  const QDBusArgument toolTip = properties.value(QStringLiteral("ToolTip")).value<QDBusArgument>();
  QString toolTipIcon, toolTipTitle;
  toolTip.beginStructure();
  toolTip >> toolTipIcon;
  decodeIconPixmaps(toolTip);
  toolTip >> toolTipTitle;
  EXPECT_EQ(toolTipTitle.toStdString(), words.toStdString());

  const QDBusArgument pixmaps = properties.value(QStringLiteral("IconPixmap")).value<QDBusArgument>();
  EXPECT_TRUE(decodeIconPixmaps(pixmaps) == expectedPixmaps()) << "the pixmaps differ from the rendering";

  // No geometry on this front end: a position request goes unanswered, so the first line the main
  // application hears is the first click's.
  MainAppReader mainApp(fifo("to_main.fifo"));
  ASSERT_TRUE(writeConnection(fifo("from_main.fifo"),
                              "{\"action\":\"requestMenubarPosition\"}\n{\"action\":\"bogus\"}\n"));
  ASSERT_TRUE(waitFor([&] { return !printed(QProcess::StandardOutput).empty(); })) << "the unknown action";

  const QString menu = QStringLiteral("/MenuBar");
  const QString dbusmenu = QStringLiteral("com.canonical.dbusmenu");
  const QVariant noData = QVariant::fromValue(QDBusVariant(0));
  // Clicks on the item (at no position: it has no window) and on the menu's entries by their ids, and the
  // action each sends to the main application.
  const struct {
    QString path, interface, method;
    QVariantList arguments;
    std::string action;
  } clicks[] = {
      {itemPath, itemInterface, QStringLiteral("Activate"), {0, 0}, "toggleApp"},
      {itemPath, itemInterface, QStringLiteral("SecondaryActivate"), {0, 0}, "toggleTimer"},
      {menu, dbusmenu, QStringLiteral("Event"), {1, QStringLiteral("clicked"), noData, 0u}, "toggleTimer"},
      {menu, dbusmenu, QStringLiteral("Event"), {2, QStringLiteral("clicked"), noData, 0u}, "toggleApp"},
  };
  for (const auto& click : clicks) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, click.path, click.interface, click.method);
    call.setArguments(click.arguments);
    host_.call(call);
    EXPECT_EQ(mainApp.readLine(patience(60)), R"({"action":")" + click.action + R"("})") << click.action;
  }
  ASSERT_TRUE(waitFor([&] { return printed(QProcess::StandardOutput).size() >= 4; }));
  EXPECT_EQ(std::vector(out_.begin() + 1, out_.end()),
            (std::vector<std::string>{"Toggling timer", "Toggling timer", "Toggling main app"}))
      << "Activate is the item's own silent action";
}

}  // namespace
}  // namespace pellmor::testing

int main(int argc, char** argv) {
  // Drawn offscreen, as the companion draws its pixmaps without a display.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
