// The companion as a StatusNotifierItem, end to end: the real process on a private session bus with no
// display, against a watcher and a host written here on QtDBus. The host reads what hosts read (every
// property, the pixmaps decoded by the StatusNotifierItem specification's own rules, the dbusmenu layout),
// clicks as hosts click, and the test checks the lines the companion prints and the messages it sends.

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Backends/X11/ItemPainter.h"
#include "StatusItem.h"
#include "support/Channel.h"
#include "support/Fakes.h"
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
    const platform::Size cell{static_cast<double>(side), static_cast<double>(side)};
    images.push_back(x11::renderItemImage(content.render(cell), QSize(side, side), 1.0)
                         .convertToFormat(QImage::Format_ARGB32));
  }
  const platform::RenderDescription row = content.render();
  const QSize rowSize(static_cast<int>(row.size.width), static_cast<int>(row.size.height));
  images.push_back(x11::renderItemImage(row, rowSize, 3.0).convertToFormat(QImage::Format_ARGB32));
  return images;
}

class StatusNotifierItemEndToEnd : public ::testing::Test {
 protected:
  // A session bus of our own; the daemon prints its address first.
  void SetUp() override {
    bus_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                               QStringLiteral("--print-address=1")});
    ASSERT_TRUE(waitFor([&] { return bus_.canReadLine(); })) << "dbus-daemon gave no address";
    address_ = bus_.readLine().trimmed().toStdString();
    host_ = QDBusConnection::connectToBus(QString::fromStdString(address_), QStringLiteral("test-host"));
    ASSERT_TRUE(host_.isConnected());
  }
  void TearDown() override { QDBusConnection::disconnectFromBus(QStringLiteral("test-host")); }

  void startWatcher() {
    watcher_ = std::make_unique<Watcher>(address_, QStringLiteral("test-watcher-%1").arg(++watchers_));
    ASSERT_TRUE(watcher_->registeredName());
  }

  // The companion without a display, in the test's runtime directory, on the private bus.
  void startCompanion() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "PELLMOR_STATUS_HOST"})
      environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime_.path()));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromStdString(address_));
    companion_.setProcessEnvironment(environment);
    companion_.start(QStringLiteral(PELLMOR_STATUS_PATH), {});
    ASSERT_TRUE(companion_.waitForStarted()) << companion_.errorString().toStdString();
  }

  // The service name the item registered with the current watcher; none if it did not.
  QString awaitRegistration() {
    waitFor([&] { return !watcher_->items().empty(); });
    return watcher_->items().value(0);
  }

  // A watcher, then the companion, registered with it.
  void startItem() {
    ASSERT_NO_FATAL_FAILURE(startWatcher());
    ASSERT_NO_FATAL_FAILURE(startCompanion());
    service_ = awaitRegistration();
    ASSERT_FALSE(service_.isEmpty());
  }

  // The whole lines the companion has printed so far on one of its streams.
  const std::vector<std::string>& printed(QProcess::ProcessChannel channel) {
    std::vector<std::string>& lines = channel == QProcess::StandardOutput ? out_ : err_;
    companion_.setReadChannel(channel);
    while (companion_.canReadLine())
      lines.push_back(companion_.readLine().chopped(1).toStdString());
    return lines;
  }

  void call(const QString& path, const QString& interface, const QString& method,
            const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(service_, path, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = host_.call(call);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
  }

  // A click on the item, at no position: the item has no window to place anything near.
  void callItem(const QString& method) { call(itemPath, itemInterface, method, {0, 0}); }

  // The path of one of the companion's FIFOs, once it exists.
  std::string fifo(const char* name) const {
    const auto path = std::filesystem::path(runtime_.path()) / PELLMOR_APP_GROUP_IDENTIFIER / name;
    EXPECT_TRUE(waitFor([&] { return std::filesystem::is_fifo(path); })) << name << " did not appear";
    return path.string();
  }

  // The next line the companion sends to the main application.
  std::optional<std::string> nextOutgoing() {
    if (!outgoing_) outgoing_ = std::make_unique<MainAppReader>(fifo("to_main.fifo"));
    return outgoing_->readLine(patience(60));
  }

  // Lines from the main application, in one connection.
  void send(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines)
      bytes += line + '\n';
    ASSERT_TRUE(writeConnection(fifo("from_main.fifo"), bytes));
  }

  QProcess bus_;
  std::string address_;
  TempDirectory runtime_;
  QDBusConnection host_{QString()};
  std::unique_ptr<Watcher> watcher_;
  int watchers_ = 0;
  QProcess companion_;
  QString service_;
  std::vector<std::string> out_;
  std::vector<std::string> err_;
  std::unique_ptr<MainAppReader> outgoing_;
};

TEST_F(StatusNotifierItemEndToEnd, RegistersWithEachNewWatcherAndTheHostReadsIt) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  // No watcher yet: the companion says so once and keeps serving its channel.
  const std::string missing =
      "No tray to show the status item in: no X display, no StatusNotifierWatcher with a host on the session "
      "bus; the item appears as soon as one starts";
  ASSERT_TRUE(waitFor([&] { return !printed(QProcess::StandardError).empty(); }));
  EXPECT_EQ(printed(QProcess::StandardError), std::vector<std::string>{missing});

  ASSERT_NO_FATAL_FAILURE(startWatcher());
  const QString first = awaitRegistration();
  ASSERT_FALSE(first.isEmpty());
  watcher_.reset();  // the panel restarts
  ASSERT_TRUE(waitFor([&] { return !host_.interface()->isServiceRegistered(watcherName).value(); }));
  ASSERT_NO_FATAL_FAILURE(startWatcher());
  EXPECT_EQ(awaitRegistration(), first);
  // One line each time the item is left without a host (before the first watcher, during the restart).
  ASSERT_TRUE(waitFor([&] { return printed(QProcess::StandardError).size() >= 2; }));
  EXPECT_EQ(printed(QProcess::StandardError), (std::vector<std::string>{missing, missing}));

  const QString words = QStringLiteral("Pellmor: Timer stopped; click the button to start it. Shown: -:--");
  const QVariantMap properties = itemProperties(host_, first);
  const std::pair<const char*, QVariant> expected[] = {
      {"Category", QStringLiteral("ApplicationStatus")},
      {"Id", QStringLiteral("PellmorStatus")},
      {"Title", words},
      {"Status", QStringLiteral("Active")},
      {"WindowId", 0},
      {"IconName", QString()},
      {"ItemIsMenu", false},
      {"XAyatanaLabel", QStringLiteral("-:--")},
      {"XAyatanaLabelGuide", QStringLiteral("Sign In")},
  };
  for (const auto& [name, value] : expected) {
    SCOPED_TRACE(name);
    EXPECT_EQ(properties.value(QString::fromLatin1(name)), value);
  }
  EXPECT_EQ(qdbus_cast<QDBusObjectPath>(properties.value(QStringLiteral("Menu"))).path(),
            QStringLiteral("/MenuBar"));

  // (sa(iiay)ss): no icon of its own, the words as its title.
  const QDBusArgument toolTip = properties.value(QStringLiteral("ToolTip")).value<QDBusArgument>();
  QString iconName, title, description;
  toolTip.beginStructure();
  toolTip >> iconName;
  EXPECT_TRUE(decodeIconPixmaps(toolTip).empty());
  toolTip >> title >> description;
  toolTip.endStructure();
  EXPECT_EQ(title, words);

  const std::vector<QImage> pixmaps =
      decodeIconPixmaps(properties.value(QStringLiteral("IconPixmap")).value<QDBusArgument>());
  const std::vector<QImage> expectedImages = expectedPixmaps();
  ASSERT_EQ(pixmaps.size(), expectedImages.size());
  for (std::size_t i = 0; i < pixmaps.size(); ++i)
    EXPECT_TRUE(pixmaps[i] == expectedImages[i]) << "pixmap " << i << " differs from the expected rendering";
  EXPECT_EQ(pixmaps.back().size(), QSize(189, 48)) << "the full 63 x 16 row at 3x, last";
}

TEST_F(StatusNotifierItemEndToEnd, ClicksAndMenuRunTheItemsActions) {
  ASSERT_NO_FATAL_FAILURE(startItem());
  const std::string toggleApp = R"({"action":"toggleApp"})";
  const std::string toggleTimer = R"({"action":"toggleTimer"})";
  callItem(QStringLiteral("Activate"));
  EXPECT_EQ(nextOutgoing(), toggleApp);
  callItem(QStringLiteral("SecondaryActivate"));
  EXPECT_EQ(nextOutgoing(), toggleTimer);
  // The menu's entries by their dbusmenu ids, as a host clicks them.
  for (const auto& [id, sent] : {std::pair{1, toggleTimer}, std::pair{2, toggleApp}}) {
    call(QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("Event"),
         {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    EXPECT_EQ(nextOutgoing(), sent) << id;
  }

  // No geometry on this front end: a position request goes unanswered, and the next line is a click's.
  send({R"({"action":"requestMenubarPosition"})", R"({"action":"bogus"})"});
  ASSERT_TRUE(waitFor([&] {
    const auto& lines = printed(QProcess::StandardOutput);
    return !lines.empty() && lines.back().starts_with("Received unknown");
  }));
  callItem(QStringLiteral("Activate"));
  EXPECT_EQ(nextOutgoing(), toggleApp);

  std::vector<std::string> lines = printed(QProcess::StandardOutput);
  lines.pop_back();  // the unknown action's line
  EXPECT_EQ(lines, (std::vector<std::string>{"Toggling timer", "Toggling timer", "Toggling main app"}))
      << "Activate is the item's own silent action";
}

TEST_F(StatusNotifierItemEndToEnd, ChangeSignalsOnlyForChanges) {
  ASSERT_NO_FATAL_FAILURE(startItem());
  QStringList members;
  QStringList labels;
  const ItemSignalListener listener(host_, service_, QString(), [&](const QDBusMessage& message) {
    members.push_back(message.member());
    if (message.member() == QLatin1String("XAyatanaNewLabel"))
      labels.push_back(message.arguments().value(0).toString());
  });

  // The decimal symbol does not show in "-:--": only the sign-out after it changes what hosts see.
  send({R"({"action":"setDecimalSymbol","value":","})", R"({"action":"setAuthenticated","value":false})"});
  // Signals from one sender arrive in the order sent; the label's comes last.
  ASSERT_TRUE(waitFor([&] { return !labels.empty(); }));
  EXPECT_EQ(labels, QStringList{QStringLiteral("Sign In")});
  members.sort();
  EXPECT_EQ(members, (QStringList{QStringLiteral("NewIcon"), QStringLiteral("NewTitle"),
                                  QStringLiteral("NewToolTip"), QStringLiteral("XAyatanaNewLabel")}));

  // A running timer ticks every second; the text changes once, when the total reaches half a minute.
  const auto epoch = std::chrono::system_clock::now().time_since_epoch();
  const double twentySecondsAgo = std::chrono::duration<double>(epoch).count() - 20;
  send({R"({"action":"setAuthenticated","value":true})", R"({"action":"showTimer","startedAt":)" +
                                                             std::to_string(twentySecondsAgo) +
                                                             R"(,"hoursWithoutTimer":0})"});
  ASSERT_TRUE(waitFor([&] { return labels.contains(QStringLiteral("0:01")); }));
  EXPECT_EQ(labels.mid(labels.indexOf(QStringLiteral("0:00"))),
            (QStringList{QStringLiteral("0:00"), QStringLiteral("0:01")}));
  EXPECT_TRUE(std::adjacent_find(labels.begin(), labels.end()) == labels.end())
      << "a label signal without a change";
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
