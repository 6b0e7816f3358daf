// The companion as a StatusNotifierItem, end to end: the real process on a private session bus with no
// display, against a watcher and a host written here on QtDBus. The host reads what hosts read (every
// property, the pixmaps decoded by the StatusNotifierItem specification's own rules, the dbusmenu layout),
// clicks as hosts click, and the test checks the lines the companion prints and the messages it sends.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QImage>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
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

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr auto deadline = 60s;  // generous: a busy two-core machine starts Qt slowly

// Runs Qt's event loop until the condition holds or the time is up.
bool pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = deadline) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// A session bus of our own: dbus-daemon with the standard session configuration, stopped at the end.
class PrivateSessionBus {
 public:
  PrivateSessionBus() {
    // With --fork the command returns once the daemon is listening; it prints its address, then its pid.
    const std::unique_ptr<FILE, int (*)(FILE*)> out(
        popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "re"), pclose);
    char address[1024];
    char pid[32];
    if (out && std::fgets(address, sizeof address, out.get()) && std::fgets(pid, sizeof pid, out.get())) {
      address_ = std::string(address, std::strcspn(address, "\n"));
      pid_ = std::atoi(pid);
    }
  }
  ~PrivateSessionBus() {
    if (pid_ > 0) kill(pid_, SIGTERM);
  }
  PrivateSessionBus(const PrivateSessionBus&) = delete;
  PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

  const std::string& address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
};

// Counts the item's change signals, and keeps the labels that XAyatanaNewLabel carried.
class SignalRecorder : public QObject {
  Q_OBJECT

 public:
  SignalRecorder(QDBusConnection bus, const QString& service) {
    for (const char* name : {"NewTitle", "NewIcon", "NewToolTip", "NewStatus", "XAyatanaNewLabel"}) {
      bus.connect(service, QStringLiteral("/StatusNotifierItem"), itemInterface, QString::fromLatin1(name),
                  this, SLOT(changed(QDBusMessage)));
    }
  }

  int count(const QString& member) const { return static_cast<int>(members.count(member)); }

  QStringList members;
  QStringList labels;

 public Q_SLOTS:
  void changed(const QDBusMessage& message) {
    members.push_back(message.member());
    if (message.member() == QLatin1String("XAyatanaNewLabel") && !message.arguments().isEmpty())
      labels.push_back(message.arguments().front().toString());
  }
};

// The content the companion shows, computed here by the same core, for the pixmaps the host must get.
class ExpectedContent {
 public:
  ExpectedContent() {
    content_ = std::make_unique<StatusItem>(
        StatusItem::Environment{.channel = [this]() -> FIFOManager& { return channel_.fifo(); },
                                .mainThread = &mainThread_,
                                .clock = &clock_,
                                .tickers = &tickers_},
        std::make_shared<SizeSubject>());
    content_->install([] {});
    mainThread_.drain();
  }

  // Compact squares at 16 to 64 pixels, then the full row at 3x, as ARGB32.
  std::vector<QImage> pixmaps() const {
    std::vector<QImage> images;
    for (int side : {16, 22, 24, 32, 48, 64}) {
      const platform::Size cell{static_cast<double>(side), static_cast<double>(side)};
      images.push_back(x11::renderItemImage(content_->render(cell), QSize(side, side), 1.0)
                           .convertToFormat(QImage::Format_ARGB32));
    }
    const platform::RenderDescription row = content_->render();
    const QSize rowSize(static_cast<int>(row.size.width), static_cast<int>(row.size.height));
    images.push_back(x11::renderItemImage(row, rowSize, 3.0).convertToFormat(QImage::Format_ARGB32));
    return images;
  }

 private:
  ManualMainThread mainThread_;
  FakeClock clock_{1'700'000'000.0};
  FakeTickerFactory tickers_;
  TempChannel channel_{mainThread_};
  std::unique_ptr<StatusItem> content_;
};

class StatusNotifierItemEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(bus_.address().empty()) << "dbus-daemon gave no address";
    host_ =
        QDBusConnection::connectToBus(QString::fromStdString(bus_.address()), QStringLiteral("test-host"));
    ASSERT_TRUE(host_.isConnected());
  }
  void TearDown() override {
    companion_.kill();
    companion_.waitForFinished();
    watcher_.reset();
    host_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(QStringLiteral("test-host"));
  }

  void startWatcher() {
    watcher_ = std::make_unique<Watcher>(bus_.address(), QStringLiteral("test-watcher-%1").arg(++watchers_));
    ASSERT_TRUE(watcher_->registeredName());
  }

  // The companion without a display, in the test's runtime directory, on the private bus.
  void startCompanion() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "PELLMOR_STATUS_HOST"})
      environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime_.path()));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromStdString(bus_.address()));
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

  // A watcher, then the companion: the service name the item registered with.
  QString startItem() {
    startWatcher();
    startCompanion();
    return awaitRegistration();
  }

  // The service name the item registered with the current watcher.
  QString awaitRegistration() {
    const bool registered = pumpUntil([&] { return !watcher_->items().empty(); });
    EXPECT_TRUE(registered) << "the item did not register with the watcher";
    return registered ? watcher_->items().back() : QString();
  }

  QVariantMap allProperties(const QString& service) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/StatusNotifierItem"),
                                                       propertiesInterface, QStringLiteral("GetAll"));
    call << itemInterface;
    const QDBusMessage reply = host_.call(call);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments().isEmpty() ? QVariantMap{} : qdbus_cast<QVariantMap>(reply.arguments().front());
  }

  QDBusMessage callItem(const QString& service, const QString& path, const QString& interface,
                        const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = host_.call(call);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply;
  }

  // The path of one of the companion's FIFOs, once it exists.
  std::string fifo(const char* name) const {
    const fs::path path = fs::path(runtime_.path()) / PELLMOR_APP_GROUP_IDENTIFIER / name;
    EXPECT_TRUE(pumpUntil([&] { return fs::is_fifo(path); })) << name << " did not appear";
    return path.string();
  }

  // The next line the companion sends to the main application.
  std::optional<std::string> nextOutgoing() {
    if (!outgoing_) outgoing_ = std::make_unique<MainAppReader>(fifo("to_main.fifo"));
    return outgoing_->readLine(deadline);
  }

  void send(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines)
      bytes += line + '\n';
    ASSERT_TRUE(writeConnection(fifo("from_main.fifo"), bytes));
  }

  PrivateSessionBus bus_;
  TempDirectory runtime_;
  QDBusConnection host_{QString()};
  std::unique_ptr<Watcher> watcher_;
  int watchers_ = 0;
  QProcess companion_;
  std::vector<std::string> out_;
  std::vector<std::string> err_;
  std::unique_ptr<MainAppReader> outgoing_;
};

TEST_F(StatusNotifierItemEndToEnd, HostReadsTheItemAndItsPixmaps) {
  const QString service = startItem();
  ASSERT_FALSE(service.isEmpty());

  const QString words = QStringLiteral("Pellmor: Timer stopped; click the button to start it. Shown: -:--");
  const QVariantMap properties = allProperties(service);
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
  const std::vector<QImage> toolTipIcons = decodeIconPixmaps(toolTip);
  toolTip >> title >> description;
  toolTip.endStructure();
  EXPECT_EQ(title, words);
  EXPECT_TRUE(toolTipIcons.empty());

  ExpectedContent content;
  const std::vector<QImage> expectedPixmaps = content.pixmaps();
  const std::vector<QImage> pixmaps =
      decodeIconPixmaps(properties.value(QStringLiteral("IconPixmap")).value<QDBusArgument>());
  ASSERT_EQ(pixmaps.size(), expectedPixmaps.size());
  for (std::size_t i = 0; i < pixmaps.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pixmaps[i].size(), expectedPixmaps[i].size());
    EXPECT_TRUE(pixmaps[i] == expectedPixmaps[i]) << "pixels differ from the expected rendering";
  }
  EXPECT_EQ(pixmaps.back().size(), QSize(189, 48)) << "the full 63 x 16 row at 3x, last";
}

TEST_F(StatusNotifierItemEndToEnd, ClicksAndMenuRunTheItemsActions) {
  const QString service = startItem();
  ASSERT_FALSE(service.isEmpty());
  const QString item = QStringLiteral("/StatusNotifierItem");

  callItem(service, item, itemInterface, QStringLiteral("Activate"), {0, 0});
  EXPECT_EQ(nextOutgoing(), R"({"action":"toggleApp"})");
  callItem(service, item, itemInterface, QStringLiteral("SecondaryActivate"), {0, 0});
  EXPECT_EQ(nextOutgoing(), R"({"action":"toggleTimer"})");

  // The menu's entries by their dbusmenu ids, as a host clicks them.
  const struct {
    int id;
    const char* message;
  } menu[] = {{1, R"({"action":"toggleTimer"})"}, {2, R"({"action":"toggleApp"})"}};
  for (const auto& entry : menu) {
    callItem(service, QStringLiteral("/MenuBar"), QStringLiteral("com.canonical.dbusmenu"),
             QStringLiteral("Event"),
             {entry.id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0u});
    EXPECT_EQ(nextOutgoing(), entry.message) << entry.id;
  }

  // No geometry on this front end: a position request goes unanswered, and the next line is a click's.
  send({R"({"action":"requestMenubarPosition"})", R"({"action":"bogus"})"});
  ASSERT_TRUE(pumpUntil([&] {
    const auto& lines = printed(QProcess::StandardOutput);
    return !lines.empty() && lines.back().starts_with("Received unknown");
  }));
  callItem(service, item, itemInterface, QStringLiteral("Activate"), {0, 0});
  EXPECT_EQ(nextOutgoing(), R"({"action":"toggleApp"})");

  std::vector<std::string> lines = printed(QProcess::StandardOutput);
  lines.pop_back();  // the unknown action's line
  EXPECT_EQ(lines, (std::vector<std::string>{"Toggling timer", "Toggling timer", "Toggling main app"}))
      << "Activate is the item's own silent action";
}

TEST_F(StatusNotifierItemEndToEnd, ChangeSignalsOnlyForChanges) {
  const QString service = startItem();
  ASSERT_FALSE(service.isEmpty());
  SignalRecorder recorder(host_, service);

  // The decimal symbol does not show in "-:--": only the sign-out after it changes what hosts see.
  send({R"({"action":"setDecimalSymbol","value":","})", R"({"action":"setAuthenticated","value":false})"});
  // Signals from one sender arrive in the order sent; the label's comes last.
  ASSERT_TRUE(pumpUntil([&] { return recorder.count(QStringLiteral("XAyatanaNewLabel")) > 0; }));
  EXPECT_EQ(recorder.labels, QStringList{QStringLiteral("Sign In")});
  for (const auto* member : {"NewTitle", "NewIcon", "NewToolTip", "XAyatanaNewLabel"})
    EXPECT_EQ(recorder.count(QString::fromLatin1(member)), 1) << member;
  EXPECT_EQ(recorder.count(QStringLiteral("NewStatus")), 0);

  // A running timer ticks every second; the text changes once, when the total reaches half a minute.
  const auto epoch = std::chrono::system_clock::now().time_since_epoch();
  const double twentySecondsAgo = std::chrono::duration<double>(epoch).count() - 20;
  send({R"({"action":"setAuthenticated","value":true})", R"({"action":"showTimer","startedAt":)" +
                                                             std::to_string(twentySecondsAgo) +
                                                             R"(,"hoursWithoutTimer":0})"});
  ASSERT_TRUE(pumpUntil([&] { return recorder.labels.contains(QStringLiteral("0:01")); }));
  const QStringList tail = recorder.labels.mid(recorder.labels.indexOf(QStringLiteral("0:00")));
  EXPECT_EQ(tail, (QStringList{QStringLiteral("0:00"), QStringLiteral("0:01")}));
  for (qsizetype i = 1; i < recorder.labels.size(); ++i)
    EXPECT_NE(recorder.labels[i], recorder.labels[i - 1]) << "a label signal without a change";
}

TEST_F(StatusNotifierItemEndToEnd, RegistersAgainWithEachNewWatcher) {
  startCompanion();
  // No watcher yet: the companion says so once and keeps serving its channel.
  const std::string missing =
      "No tray to show the status item in: no X display, no StatusNotifierWatcher with a host on the session "
      "bus; the item appears as soon as one starts";
  ASSERT_TRUE(pumpUntil([&] { return !printed(QProcess::StandardError).empty(); }));
  EXPECT_EQ(printed(QProcess::StandardError), std::vector<std::string>{missing});

  startWatcher();
  const QString first = awaitRegistration();
  ASSERT_FALSE(first.isEmpty());

  watcher_.reset();  // the panel restarts
  ASSERT_TRUE(pumpUntil([&] { return !host_.interface()->isServiceRegistered(watcherName).value(); }));
  startWatcher();
  const QString again = awaitRegistration();
  EXPECT_EQ(again, first);
  EXPECT_EQ(allProperties(again).value(QStringLiteral("XAyatanaLabel")), QStringLiteral("-:--"));

  // One line each time the item is left without a host (before the first watcher, during the restart).
  ASSERT_TRUE(pumpUntil([&] { return printed(QProcess::StandardError).size() >= 2; }));
  EXPECT_EQ(printed(QProcess::StandardError), (std::vector<std::string>{missing, missing}));
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

#include "desktop-status-notifier-test.moc"
