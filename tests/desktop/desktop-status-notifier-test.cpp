// The companion as a StatusNotifierItem, end to end: the real process on a private session bus with no
// display, against a watcher and a host written here on QtDBus (and the same watcher as a program run
// under a real host's name). The host reads what hosts read and calls every member as hosts call them;
// a hostile client asks what no host asks. The test checks the lines the companion prints and the
// replies and messages it sends.

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDomDocument>
#include <QGuiApplication>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Backends/StatusNotifier/DBusTypes.h"
#include "support/Channel.h"
#include "support/PrivateBus.h"
#include "support/StatusNotifierWatcher.h"
#include "support/UnreadingClient.h"

namespace pellmor::testing {
namespace {

const QString menuPath = QStringLiteral("/MenuBar");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");
const std::string missingHost =
    "No tray to show the status item in: no X display, no StatusNotifierWatcher with a host on the session "
    "bus; the item appears as soon as one starts";

QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments = {}) {
  QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
  message.setArguments(arguments);
  return message;
}

// How many sockets the process holds open.
std::size_t openSockets(qint64 processId) {
  std::error_code error;
  std::size_t sockets = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(processId) + "/fd", error))
    if (std::filesystem::read_symlink(entry.path(), error).string().starts_with("socket:")) ++sockets;
  return sockets;
}

QVariant noData() {
  return QVariant::fromValue(QDBusVariant(0));
}

// EventGroup's a(isvu): events on menu ids, no data, no timestamp.
QVariant events(const std::vector<std::pair<int, QString>>& idsAndEvents) {
  sni::DBusMenuEventList list;
  for (const auto& [id, event] : idsAndEvents)
    list.push_back({id, event, QDBusVariant(0), 0});
  return QVariant::fromValue(list);
}

// The (sizes of the) pixmaps an item offers, as "WxH".
std::vector<std::string> pixmapSizes(QDBusConnection bus, const QString& service) {
  const QVariantMap properties = itemProperties(bus, service);
  std::vector<std::string> sizes;
  for (const QImage& image :
       decodeIconPixmaps(properties.value(QStringLiteral("IconPixmap")).value<QDBusArgument>()))
    sizes.push_back(std::to_string(image.width()) + "x" + std::to_string(image.height()));
  return sizes;
}

// Counts the item's NewIcon signals, as a host follows them.
class NewIconCounter final : public QObject {
  Q_OBJECT

 public:
  explicit NewIconCounter(QDBusConnection bus) {
    bus.connect(QString(), itemPath, itemInterface, QStringLiteral("NewIcon"), this, SLOT(newIcon()));
  }
  int count = 0;

 public Q_SLOTS:
  void newIcon() { ++count; }
};

// The test's connection is the host's.
class StatusNotifierItemEndToEnd : public CompanionOnPrivateBus {
 protected:
  void TearDown() override {
    watcher_.reset();
    CompanionOnPrivateBus::TearDown();
  }

  // A new watcher in the test, and the service that serves the item registered with it; none if it did not.
  QString startWatcherAndAwaitItem() {
    watcher_ = std::make_unique<Watcher>(address_, QStringLiteral("test-watcher"));
    EXPECT_TRUE(watcher_->ownName());
    waitFor([&] { return !watcher_->items().empty(); });
    return watcher_->items().value(0);
  }

  // Answered at all (an error reply counts): a call nobody answers times out instead.
  QDBusMessage ask(const QDBusMessage& message) { return peer_.call(message, QDBus::Block, 60'000); }

  // The companion's connection that serves the item; none if it serves none.
  QString companionItemService() {
    for (const QString& name : peer_.interface()->registeredServiceNames().value())
      if (name.startsWith(QLatin1Char(':')) && processServing(name) == companion_.processId() &&
          !itemProperties(peer_, name).isEmpty())
        return name;
    return {};
  }

  // A round trip from `sender` to the item served by `service`: once it returns, `sender` has seen every
  // call the item's connection made before it answered.
  static void roundTrip(Watcher& sender, const QString& service) {
    sender.connection().call(call(service, itemPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                  QStringLiteral("Get"), {itemInterface, QStringLiteral("Id")}));
    QCoreApplication::processEvents();
  }

  std::unique_ptr<Watcher> watcher_;
};

TEST_F(StatusNotifierItemEndToEnd, RegistersWithEachNewWatcherAndServesTheHost) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  // No watcher yet: the companion says so once and keeps serving its channel.
  ASSERT_TRUE(waitFor([&] {
    return printed(QProcess::StandardError) == std::vector<std::string>{missingHost};
  })) << ::testing::PrintToString(err_);

  // Another client holds the well-known name items commonly take: the item is still the one
  // the watcher hears of.
  ASSERT_TRUE(
      peer_.registerService(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(companion_.processId())));
  const QString service = startWatcherAndAwaitItem();
  ASSERT_FALSE(service.isEmpty());
  EXPECT_EQ(processServing(service), companion_.processId()) << "registered by its own connection";
  watcher_.reset();  // the panel restarts
  ASSERT_TRUE(waitFor([&] { return !peer_.interface()->isServiceRegistered(watcherName).value(); }));
  const QString again = startWatcherAndAwaitItem();
  EXPECT_EQ(processServing(again), companion_.processId());
  // A panel that is merely restarting leaves the item without a host for a moment only: no second line.
  EXPECT_EQ(printed(QProcess::StandardError), std::vector<std::string>{missingHost});

  const QVariantMap properties = itemProperties(peer_, again);
  const std::pair<const char*, QVariant> expected[] = {
      {"Category", QStringLiteral("ApplicationStatus")},
      {"Id", QStringLiteral("PellmorStatus")},
      {"Title", QStringLiteral("Pellmor: Timer stopped")},
      {"Status", QStringLiteral("Active")},
      {"IconName", QString()},
      {"ItemIsMenu", false},
      {"Menu", QVariant::fromValue(QDBusObjectPath(menuPath))},
      {"XAyatanaLabel", QStringLiteral("-:--")},
      {"XAyatanaLabelGuide", QStringLiteral("Sign In")},
  };
  for (const auto& [name, value] : expected)
    EXPECT_EQ(properties.value(QString::fromLatin1(name)), value) << name;

  // (sa(iiay)ss): the state as its title, what the clicks do as its description.
  const QDBusArgument toolTip = properties.value(QStringLiteral("ToolTip")).value<QDBusArgument>();
  QString toolTipIcon, toolTipTitle, toolTipDescription;
  toolTip.beginStructure();
  toolTip >> toolTipIcon;
  decodeIconPixmaps(toolTip);
  toolTip >> toolTipTitle >> toolTipDescription;
  toolTip.endStructure();
  EXPECT_EQ(toolTipTitle.toStdString(), "Pellmor: Timer stopped");
  EXPECT_EQ(toolTipDescription.toStdString(),
            "Left click to show or hide Pellmor, middle click to start the timer, right click for the menu.");

  // No geometry on this front end: a position request goes unanswered, so the first line the main
  // application hears is the first click's.
  MainAppReader mainApp(fifo("to_main.fifo"));
  ASSERT_TRUE(writeConnection(fifo("from_main.fifo"),
                              "{\"action\":\"requestMenubarPosition\"}\n{\"action\":\"bogus\"}\n"));
  ASSERT_TRUE(waitFor([&] { return !printed(QProcess::StandardOutput).empty(); })) << "the unknown action";

  // Clicks on the item (at no position: it has no window) and on the menu's entries by their ids, one
  // at a time and as a group, and the action each sends to the main application.
  const struct {
    QString path, interface, method;
    QVariantList arguments;
    std::string action;
  } clicks[] = {
      {itemPath, itemInterface, QStringLiteral("Activate"), {0, 0}, "toggleApp"},
      {itemPath, itemInterface, QStringLiteral("SecondaryActivate"), {0, 0}, "toggleTimer"},
      {menuPath,
       menuInterface,
       QStringLiteral("Event"),
       {1, QStringLiteral("clicked"), noData(), 0u},
       "toggleTimer"},
      {menuPath,
       menuInterface,
       QStringLiteral("Event"),
       {2, QStringLiteral("clicked"), noData(), 0u},
       "toggleApp"},
      {menuPath,
       menuInterface,
       QStringLiteral("EventGroup"),
       {events({{1, QStringLiteral("clicked")}})},
       "toggleTimer"},
  };
  for (const auto& click : clicks) {
    const QDBusMessage reply = ask(call(again, click.path, click.interface, click.method, click.arguments));
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << click.method.toStdString();
    EXPECT_EQ(mainApp.readLine(patience(60)), R"({"action":")" + click.action + R"("})") << click.action;
  }
  ASSERT_TRUE(waitFor([&] { return printed(QProcess::StandardOutput).size() >= 5; }));
  EXPECT_EQ(
      std::vector(out_.begin() + 1, out_.end()),
      (std::vector<std::string>{"Toggling timer", "Toggling timer", "Toggling main app", "Toggling timer"}))
      << "Activate is the item's own silent action";
}

// Each host is told by the program that owns the watcher's name and gets only the pixmaps it draws well:
// the row for one that keeps the aspect ratio and takes the largest, one square for one that fits the
// largest into its square, squares up to scale 3 for those that pick by size.
TEST_F(StatusNotifierItemEndToEnd, ServesEachHostThePixmapsItDraws) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  const std::vector<std::string> bySize{"16x16", "22x22", "24x24", "32x32", "33x33",  "48x48",
                                        "64x64", "44x44", "66x66", "96x96", "128x128"};
  std::vector<std::string> everything = bySize;
  everything.push_back("378x96");
  // xfce4-panel's systray runs in the panel's plugin wrapper, told by its command line (the watcher
  // program takes it as the file to save pixmaps in).
  const std::string plugin = runtime_.path() + "/xfce4/panel/plugins/libsystray.so";
  const struct {
    const char* program;
    std::vector<std::string> sizes;
    QStringList arguments;
  } hosts[] = {
      {"waybar", {"378x96"}, {}},
      {"gnome-shell", {"16x16", "32x32", "48x48"}, {}},
      {"xfce4/panel/wrapper-2.0", {"22x22"}, {QString::fromStdString(plugin)}},
      {"swaybar", bySize, {}},
      {"kded5", bySize, {}},
      {"some-panel", everything, {}},
  };
  std::filesystem::create_directories(std::filesystem::path(plugin).parent_path());
  for (const auto& [program, sizes, arguments] : hosts) {
    const auto path = std::filesystem::path(runtime_.path()) / program;
    std::filesystem::create_symlink(SNI_TEST_WATCHER_PATH, path);
    QProcess watcher;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    watcher.setProcessEnvironment(environment);
    startChild(watcher, QString::fromStdString(path.string()), arguments);
    QString service;
    ASSERT_TRUE(waitFor([&] {
      if (watcher.canReadLine()) {
        const QString line = QString::fromLatin1(watcher.readLine().trimmed());
        if (line.startsWith(QLatin1String("registered "))) service = line.mid(11);
      }
      return !service.isEmpty();
    })) << program
        << " got no registration";
    EXPECT_EQ(pixmapSizes(peer_, service), sizes) << program;
    watcher.kill();
    watcher.waitForFinished();
    ASSERT_TRUE(waitFor([&] { return !peer_.interface()->isServiceRegistered(watcherName).value(); }));
  }
}

// Every member of both interfaces, with the signature the interfaces define: what the object says of
// itself, and a call to each method, answered without an error.
TEST_F(StatusNotifierItemEndToEnd, OffersEveryMemberOfBothInterfacesOverTheBus) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  const QString service = startWatcherAndAwaitItem();
  ASSERT_FALSE(service.isEmpty());

  const struct {
    QString path, interface;
    std::vector<std::string> members;  // "method Name(in)(out)" or "signal Name(args)"
  } interfaces[] = {
      {itemPath,
       itemInterface,
       {"method ContextMenu(ii)()", "method Activate(ii)()", "method SecondaryActivate(ii)()",
        "method Scroll(is)()", "signal NewTitle()", "signal NewIcon()", "signal NewAttentionIcon()",
        "signal NewOverlayIcon()", "signal NewToolTip()", "signal NewStatus(s)",
        "signal XAyatanaNewLabel(ss)"}},
      {menuPath,
       menuInterface,
       {"method GetLayout(iias)(u(ia{sv}av))", "method GetGroupProperties(aias)(a(ia{sv}))",
        "method GetProperty(is)(v)", "method Event(isvu)()", "method EventGroup(a(isvu))(ai)",
        "method AboutToShow(i)(b)", "method AboutToShowGroup(ai)(aiai)",
        "signal ItemsPropertiesUpdated(a(ia{sv})a(ias))", "signal LayoutUpdated(ui)",
        "signal ItemActivationRequested(iu)"}},
  };
  for (const auto& [path, interface, members] : interfaces) {
    const QDBusMessage reply = ask(call(service, path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                        QStringLiteral("Introspect")));
    QDomDocument document;
    ASSERT_TRUE(document.setContent(reply.arguments().value(0).toString()));
    std::vector<std::string> found;
    for (QDomElement node = document.documentElement().firstChildElement(QStringLiteral("interface"));
         !node.isNull(); node = node.nextSiblingElement(QStringLiteral("interface"))) {
      if (node.attribute(QStringLiteral("name")) != interface) continue;
      for (QDomElement member = node.firstChildElement(); !member.isNull();
           member = member.nextSiblingElement()) {
        if (member.tagName() == QLatin1String("property")) continue;
        QString in, out;
        for (QDomElement arg = member.firstChildElement(QStringLiteral("arg")); !arg.isNull();
             arg = arg.nextSiblingElement(QStringLiteral("arg")))
          (arg.attribute(QStringLiteral("direction")) == QLatin1String("out") ? out : in) +=
              arg.attribute(QStringLiteral("type"));
        // Qt marks a signal's arguments as going out.
        const bool method = member.tagName() == QLatin1String("method");
        found.push_back(QStringLiteral("%1 %2(%3)%4")
                            .arg(member.tagName(), member.attribute(QStringLiteral("name")),
                                 method ? in : in + out, method ? QStringLiteral("(%1)").arg(out) : QString())
                            .toStdString());
      }
    }
    std::vector<std::string> wanted = members;
    std::ranges::sort(wanted);
    std::ranges::sort(found);
    EXPECT_EQ(found, wanted) << interface.toStdString();
  }

  const struct {
    QString path, interface, method, signature;
    QVariantList arguments;
  } calls[] = {
      {itemPath, itemInterface, QStringLiteral("ContextMenu"), {}, {0, 0}},
      {itemPath, itemInterface, QStringLiteral("Scroll"), {}, {1, QStringLiteral("vertical")}},
      {menuPath,
       menuInterface,
       QStringLiteral("GetLayout"),
       QStringLiteral("u(ia{sv}av)"),
       {0, -1, QStringList()}},
      {menuPath,
       menuInterface,
       QStringLiteral("GetGroupProperties"),
       QStringLiteral("a(ia{sv})"),
       {QVariant::fromValue(QList<int>{0, 1, 2}), QStringList()}},
      {menuPath,
       menuInterface,
       QStringLiteral("GetProperty"),
       QStringLiteral("v"),
       {1, QStringLiteral("label")}},
      {menuPath, menuInterface, QStringLiteral("AboutToShow"), QStringLiteral("b"), {0}},
      {menuPath,
       menuInterface,
       QStringLiteral("AboutToShowGroup"),
       QStringLiteral("aiai"),
       {QVariant::fromValue(QList<int>{0})}},
      {menuPath,
       menuInterface,
       QStringLiteral("EventGroup"),
       QStringLiteral("ai"),
       {events({{1, QStringLiteral("hovered")}})}},
  };
  for (const auto& [path, interface, method, signature, arguments] : calls) {
    const QDBusMessage reply = ask(call(service, path, interface, method, arguments));
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << method.toStdString() << ": " << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.signature(), signature) << method.toStdString();
  }
  // No ids at all ask for every item.
  const auto idsReturned = [&](const QList<int>& ids) {
    const QDBusMessage reply =
        ask(call(service, menuPath, menuInterface, QStringLiteral("GetGroupProperties"),
                 {QVariant::fromValue(ids), QStringList()}));
    QList<int> returned;
    for (const sni::DBusMenuItemProperties& item :
         qdbus_cast<sni::DBusMenuItemPropertiesList>(reply.arguments().value(0)))
      returned.push_back(item.id);
    return returned;
  };
  EXPECT_EQ(idsReturned({}), idsReturned({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// A bus client that asks what no host asks gets a quick error where an answer would be wrong or huge,
// nothing on standard error, and the item keeps serving.
TEST_F(StatusNotifierItemEndToEnd, HostileRequestsGetQuickAnswersAndLoseNothing) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  const QString service = startWatcherAndAwaitItem();
  ASSERT_FALSE(service.isEmpty());
  const QList<int> manyIds(700'000, 1);
  const QString invalid = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
  const QString tooMany = QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded");
  const struct {
    QString method;
    QVariantList arguments;
    QString error;  // none: answered
  } requests[] = {
      {QStringLiteral("GetLayout"), {0, INT_MIN, QStringList()}, {}},
      {QStringLiteral("GetLayout"), {7, -1, QStringList()}, invalid},
      {QStringLiteral("GetGroupProperties"), {QVariant::fromValue(manyIds), QStringList()}, tooMany},
      {QStringLiteral("AboutToShowGroup"), {QVariant::fromValue(manyIds)}, tooMany},
      {QStringLiteral("GetProperty"), {99, QStringLiteral("label")}, invalid},
      {QStringLiteral("Event"), {99, QStringLiteral("clicked"), noData(), 0u}, invalid},
      {QStringLiteral("AboutToShow"), {99}, invalid},
      {QStringLiteral("GetProperty"), {1, QStringLiteral("no-such-property")}, invalid},
  };
  for (const auto& [method, arguments, error] : requests) {
    const QDBusMessage reply = ask(call(service, menuPath, menuInterface, method, arguments));
    EXPECT_EQ(reply.errorName().toStdString(), error.toStdString()) << method.toStdString();
    EXPECT_NE(reply.type(), QDBusMessage::InvalidMessage) << method.toStdString() << " went unanswered";
  }
  EXPECT_EQ(processServing(service), companion_.processId()) << "still on the bus";
  EXPECT_EQ(
      ask(call(service, itemPath, itemInterface, QStringLiteral("Scroll"), {1, QStringLiteral("vertical")}))
          .type(),
      QDBusMessage::ReplyMessage);
  // At most the line a slow watcher start may have caused, and nothing the requests caused.
  const std::vector<std::string> lines = printed(QProcess::StandardError);
  EXPECT_LE(lines.size(), 1u);
  for (const std::string& line : lines)
    EXPECT_EQ(line, missingHost);
}

// A flood of clicks while the main application reads nothing: a person's burst gets through, the rest
// is dropped with one line, so the channel's queue stays small.
TEST_F(StatusNotifierItemEndToEnd, ClickFloodWhileNobodyReadsIsBounded) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  const QString service = startWatcherAndAwaitItem();
  ASSERT_FALSE(service.isEmpty());
  constexpr int flood = 2000;
  for (int i = 0; i < flood; ++i)
    peer_.send(call(service, itemPath, itemInterface, QStringLiteral("Activate"), {0, 0}));
  ask(call(service, itemPath, itemInterface, QStringLiteral("Scroll"), {1, QStringLiteral("vertical")}));
  const std::string dropped =
      "PellmorStatus: too many clicks from the StatusNotifierItem host; dropping some";
  const auto droppedSaidOnce = [&] {
    const std::vector<std::string> lines = printed(QProcess::StandardError);
    return std::count(lines.begin(), lines.end(), dropped) == 1;
  };
  EXPECT_TRUE(waitFor(droppedSaidOnce));

  // Once the main application reads, the clicks that got through arrive, then a later one on its own.
  const std::optional<int> toggles = linesBefore(R"({"action":"toggleTimer"})", [&] {
    peer_.send(call(service, itemPath, itemInterface, QStringLiteral("SecondaryActivate"), {0, 0}));
  });
  ASSERT_TRUE(toggles) << "a later click never arrived";
  EXPECT_GE(*toggles, 20) << "a person's burst";
  EXPECT_LE(*toggles, 40) << "of " << flood;
}

// A client that asks for the icon again and again and reads none of the answers: once the bus daemon
// holds its share of them, the answers that wait in the companion carry no picture, so it does not grow
// with every request. A click behind the requests still gets through, every request gets its answer, and
// hosts are told to read the icon again once the bus takes the item's messages.
TEST_F(StatusNotifierItemEndToEnd, IconRequestsNobodyReadsAreBounded) {
  // The daemon stops reading from the companion after a few pictures, as a real session bus does after a
  // gigabyte of them.
  ASSERT_NO_FATAL_FAILURE(limitBus("max_incoming_bytes", 1'000'000));
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  const std::string service = startWatcherAndAwaitItem().toStdString();
  ASSERT_FALSE(service.empty());
  UnreadingClient client(address_.toStdString());
  ASSERT_TRUE(client.connected());
  const std::string path = itemPath.toStdString();
  const std::string interface = itemInterface.toStdString();
  client.getProperty(service, path, interface, "IconPixmap");
  const std::int64_t picture = client.readAnswers().bytes;
  constexpr std::int64_t bound = 32 << 20;
  constexpr int requests = 1500;
  ASSERT_GT(picture * requests, 10 * bound) << "a picture of " << picture << " bytes";
  NewIconCounter newIcons(peer_);

  for (int i = 0; i < requests; ++i)
    client.getProperty(service, path, interface, "IconPixmap");
  client.click(service, path, interface, "SecondaryActivate");
  // The click's line leaves after the item has answered every request before it.
  ASSERT_TRUE(linesBefore(R"({"action":"toggleTimer"})", [] {})) << "the click never arrived";
  EXPECT_EQ(std::ranges::count(printed(QProcess::StandardError),
                               "PellmorStatus: the session bus is not taking the item's messages; IconPixmap "
                               "is sent empty until it does"),
            1);

  const UnreadingClient::Answers answers = client.readAnswers();
  EXPECT_EQ(answers.count, requests + 1);
  EXPECT_LT(answers.bytes, bound) << requests << " pictures of " << picture << " bytes asked for";
  EXPECT_TRUE(waitFor([&] { return newIcons.count > 0; })) << "hosts never told to read the icon again";
  EXPECT_FALSE(pixmapSizes(peer_, QString::fromStdString(service)).empty());
}

// A watcher that drops the item (as GNOME's does when it could not read it) is asked again, a few
// times at most. The same signal from any other client is not the watcher's and changes nothing.
TEST_F(StatusNotifierItemEndToEnd, ReRegistersWhenDroppedAFewTimesAtMost) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  const QString service = startWatcherAndAwaitItem();
  ASSERT_FALSE(service.isEmpty());
  // A round trip to the item after a signal: it has seen the signal and said all it will.
  Watcher impostor(address_, QStringLiteral("impostor"));
  impostor.dropItem(service + itemPath);
  roundTrip(impostor, service);
  EXPECT_EQ(watcher_->items().size(), 1) << "registered again for a drop the watcher never sent";

  watcher_->onRegistered = [&](const QString&, const QString& id) { watcher_->dropItem(id); };
  watcher_->dropItem(service + itemPath);
  ASSERT_TRUE(waitFor([&] { return watcher_->items().size() == 4; }));
  roundTrip(*watcher_, service);
  EXPECT_EQ(watcher_->items().size(), 4);
}

// A panel whose watcher is up before its bar (waybar) has no host for a moment, and a host that is still
// starting hears of no item that registers then: the item waits until the watcher says a host has
// registered, and registers once.
TEST_F(StatusNotifierItemEndToEnd, RegistersOnceTheWatcherHasAHost) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  ASSERT_FALSE(startWatcherAndAwaitItem().isEmpty());
  watcher_.reset();  // the panel restarts
  ASSERT_TRUE(waitFor([&] { return !peer_.interface()->isServiceRegistered(watcherName).value(); }));
  watcher_ = std::make_unique<Watcher>(address_, QStringLiteral("bar-watcher"), false);
  ASSERT_TRUE(watcher_->ownName());
  ASSERT_TRUE(waitFor([&] { return watcher_->hostQuestions() > 0; })) << "never asked for a host";
  // Still served if the watcher came back quickly enough for the item to stay: it has not registered.
  if (const QString service = companionItemService(); !service.isEmpty()) roundTrip(*watcher_, service);
  EXPECT_TRUE(watcher_->items().empty()) << "registered before the watcher had a host";

  watcher_->registerHost();
  ASSERT_TRUE(waitFor([&] { return !watcher_->items().empty(); }));
  const QString service = watcher_->items().front();
  EXPECT_EQ(processServing(service), companion_.processId());
  roundTrip(*watcher_, service);
  EXPECT_EQ(watcher_->items().size(), 1);
}

// The session bus dies and a new one starts at the same address: the companion connects to it and
// registers with its watcher.
TEST_F(StatusNotifierItemEndToEnd, ComesBackOnANewBusAtTheSameAddress) {
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  ASSERT_FALSE(startWatcherAndAwaitItem().isEmpty());
  const std::size_t linesBefore = printed(QProcess::StandardError).size();
  watcher_.reset();
  stopBus();
  // Said once more: the item is without a host until the bus is back.
  EXPECT_TRUE(waitFor([&] { return printed(QProcess::StandardError).size() == linesBefore + 1; }));
  ASSERT_NO_FATAL_FAILURE(startBus());
  const QString service = startWatcherAndAwaitItem();
  ASSERT_FALSE(service.isEmpty());
  EXPECT_EQ(processServing(service), companion_.processId());
}

// A full bus refuses the item's connection while the companion's connection that follows the watcher
// stays up, so nothing tells the item to try again: it does so on its own, and registers once the bus
// takes connections.
TEST_F(StatusNotifierItemEndToEnd, RegistersOnceAFullBusTakesItsConnection) {
  watcher_ = std::make_unique<Watcher>(address_, QStringLiteral("test-watcher"));
  ASSERT_TRUE(watcher_->ownName());
  const auto clients = [&] {
    return std::ranges::count_if(peer_.interface()->registeredServiceNames().value(),
                                 [](const QString& name) { return name.startsWith(QLatin1Char(':')); });
  };
  // Room for the companion's one follower of the watcher, not for the item's own connection.
  ASSERT_NO_FATAL_FAILURE(limitBus("max_connections_per_user", static_cast<int>(clients()) + 1));
  ASSERT_NO_FATAL_FAILURE(startCompanion(QStringLiteral("sni")));
  const auto refusals = [&] {
    return busLog().count(QStringLiteral("maximum number of active connections"));
  };
  ASSERT_TRUE(waitFor([&] { return refusals() >= 1; })) << "the item's connection was not refused";
  const std::size_t socketsAfterFirst = openSockets(companion_.processId());
  ASSERT_TRUE(waitFor([&] { return refusals() >= 4; })) << "the item's connection was not tried again";
  EXPECT_TRUE(waitFor([&] { return openSockets(companion_.processId()) <= socketsAfterFirst; }))
      << "a refused connection kept its socket";
  ASSERT_TRUE(watcher_->items().empty());
  ASSERT_NO_FATAL_FAILURE(limitBus("max_connections_per_user", std::nullopt));
  ASSERT_TRUE(waitFor([&] { return !watcher_->items().empty(); }));
  EXPECT_EQ(processServing(watcher_->items().front()), companion_.processId());
}

// A bus daemon that accepts the connection and then answers nothing holds no part of the companion: its
// channel answers and a termination signal ends it as ever.
TEST_F(StatusNotifierItemEndToEnd, StalledBusHoldsNothingBack) {
  kill(static_cast<pid_t>(bus_.processId()), SIGSTOP);
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  ASSERT_TRUE(writeConnection(fifo("from_main.fifo"), "{\"action\":\"bogus\"}\n"));
  EXPECT_TRUE(waitFor([&] { return !printed(QProcess::StandardOutput).empty(); })) << "the unknown action";
  companion_.terminate();
  EXPECT_TRUE(companion_.waitForFinished(static_cast<int>(patience(60).count())));
  EXPECT_EQ(printed(QProcess::StandardOutput).back(), "GOODBYE!");
}

}  // namespace
}  // namespace pellmor::testing

int main(int argc, char** argv) {
  // Drawn offscreen, as the companion draws its pixmaps without a display.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication application(argc, argv);
  pellmor::sni::registerDBusTypes();  // the test marshals EventGroup's events as hosts do
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "desktop-status-notifier-test.moc"
