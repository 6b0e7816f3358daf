// The companion in GNOME Shell's top bar, from the extension's side of the bus: the real process on a
// private session bus with no display, against a stand-in for the extension written here. The stand-in
// reports what a shell could report, reads the picture and clicks as the extension does.

#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Backends/GnomeShell/ShellTypes.h"
#include "Backends/Qt/ItemPainter.h"
#include "Backends/Qt/QtTextMetrics.h"
#include "StatusItem.h"
#include "support/Channel.h"
#include "support/PrivateBus.h"
#include "support/UnreadingClient.h"

// (iiii), as the extension sends its panel's and item's frames.
struct Frame {
  int x = 0, y = 0, width = 0, height = 0;
};
Q_DECLARE_METATYPE(Frame)
QDBusArgument& operator<<(QDBusArgument& argument, const Frame& frame) {
  argument.beginStructure();
  argument << frame.x << frame.y << frame.width << frame.height;
  argument.endStructure();
  return argument;
}
const QDBusArgument& operator>>(const QDBusArgument& argument, Frame& frame) {
  argument.beginStructure();
  argument >> frame.x >> frame.y >> frame.width >> frame.height;
  argument.endStructure();
  return argument;
}

namespace pellmor::testing {
namespace {

const QString extensionName = QStringLiteral("com.pellmor.Status.GnomeShell");
const QString extensionPath = QStringLiteral("/com/pellmor/Status/GnomeShell");
const QString itemName = QStringLiteral("com.pellmor.Status.Item");
const QString itemPath = QStringLiteral("/com/pellmor/Status/Item");
const QString itemInterface = QStringLiteral("com.pellmor.Status.Item");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// The extension's object: answers GetAll with whatever the test sets, of any type, and announces changes.
class StandInExtension final : public QDBusVirtualObject {
 public:
  StandInExtension(QDBusConnection bus, QVariantMap properties)
      : bus_(std::move(bus)), properties_(std::move(properties)) {
    bus_.registerVirtualObject(extensionPath, this);
  }
  ~StandInExtension() override { bus_.unregisterObject(extensionPath); }

  void report(const QVariantMap& changed) {
    for (auto it = changed.begin(); it != changed.end(); ++it)
      properties_.insert(it.key(), it.value());
    QDBusMessage signal =
        QDBusMessage::createSignal(extensionPath, propertiesInterface, QStringLiteral("PropertiesChanged"));
    signal << extensionName << changed << QStringList();
    bus_.send(signal);
  }

  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != propertiesInterface || message.member() != QLatin1String("GetAll"))
      return false;
    connection.send(message.createReply(QVariant::fromValue(properties_)));
    return true;
  }

 private:
  QDBusConnection bus_;
  QVariantMap properties_;
};

// A top bar of the given height and scale across a 1280 pixel wide screen, the item at x 1000.
QVariantMap panel(int height, int scale, int itemWidth) {
  return {{QStringLiteral("PanelHeight"), height},
          {QStringLiteral("ScaleFactor"), scale},
          {QStringLiteral("PanelFrame"), QVariant::fromValue(Frame{0, 0, 1280, height})},
          {QStringLiteral("ItemFrame"), QVariant::fromValue(Frame{1000, 0, itemWidth, height})}};
}

// What the companion draws for a fresh channel (signed in, no timer): the full row centred in a cell as
// high as the bar's logical height, at the bar's scale, computed here by the same core and painter.
gnome::ItemImage expectedImage(int cellHeight, int scale) {
  ManualMainThread mainThread;
  FakeClock clock{1'700'000'000.0};
  FakeTickerFactory tickers;
  const qt::QtTextMetrics metrics;
  TempChannel channel{mainThread};
  StatusItem content({.channel = [&]() -> FIFOManager& { return channel.fifo(); },
                      .mainThread = &mainThread,
                      .clock = &clock,
                      .tickers = &tickers,
                      .textMetrics = &metrics},
                     std::make_shared<SizeSubject>());
  content.install([] {});
  mainThread.drain();
  const int width = static_cast<int>(std::ceil(content.render().size.width));
  return gnome::itemImageFrom(qt::renderItemImage(content.render(), QSize(width, cellHeight), scale));
}

// Follows the item's announcements of a new picture.
class PictureAnnouncements final : public QObject {
  Q_OBJECT

 public:
  explicit PictureAnnouncements(QDBusConnection bus) {
    bus.connect(QString(), itemPath, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                SLOT(changed(QString, QVariantMap, QStringList)));
  }
  int count = 0;
  gnome::ItemImage last;

 public Q_SLOTS:
  void changed(const QString&, const QVariantMap& properties, const QStringList&) {
    if (!properties.contains(QStringLiteral("Image"))) return;
    ++count;
    properties.value(QStringLiteral("Image")).value<QDBusArgument>() >> last;
  }
};

// The test's connection is the shell's.
class GnomeShellEndToEnd : public CompanionOnPrivateBus {
 protected:
  void TearDown() override {
    extension_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("test-stranger"));
    CompanionOnPrivateBus::TearDown();
  }

  // The extension enabled: its object, then its name, as the extension does.
  void enableExtension(const QVariantMap& properties) {
    extension_ = std::make_unique<StandInExtension>(peer_, properties);
    ASSERT_TRUE(peer_.registerService(extensionName));
  }

  bool itemPublished() { return peer_.interface()->isServiceRegistered(itemName).value(); }

  gnome::ItemImage image() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(itemName, itemPath, propertiesInterface, QStringLiteral("Get"));
    call << itemInterface << QStringLiteral("Image");
    const QDBusMessage reply = peer_.call(call);
    gnome::ItemImage result;
    if (reply.type() == QDBusMessage::ReplyMessage)
      reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>() >> result;
    return result;
  }

  void callItem(const char* method, const QVariantList& arguments = {}) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(itemName, itemPath, itemInterface, QLatin1String(method));
    call.setArguments(arguments);
    peer_.call(call);
  }

  std::unique_ptr<StandInExtension> extension_;
};

// At scale 2 the picture has twice the pixels of the row's logical size, and a click's screen pixels are
// taken back to the row's points: the timer button spans points 2 to 22 (pixels 4 to 44).
TEST_F(GnomeShellEndToEnd, DrawsTheRowAtTheBarsScaleAndMapsClicksBack) {
  enableExtension(panel(64, 2, 126));
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  ASSERT_TRUE(waitFor([&] { return itemPublished(); })) << "the item was not published";
  EXPECT_TRUE(image() == expectedImage(32, 2)) << "the picture differs from the rendering";

  MainAppReader mainApp(fifo("to_main.fifo"));
  ASSERT_TRUE(writeConnection(fifo("from_main.fifo"), "{\"action\":\"requestMenubarPosition\"}\n"));
  // Without a display Qt's pixels are the shell's: the item's left edge and width, the bar's top and height.
  EXPECT_EQ(mainApp.readLine(patience(60)),
            R"({"action":"menubarPosition","height":64.0,"width":126.0,"x":1000.0,"y":0.0})");
  const struct {
    const char* method;
    QVariantList arguments;
    std::optional<std::string> action;  // none: nothing is sent
  } clicks[] = {
      {"Activate", {24, 32}, "toggleTimer"},     {"Activate", {80, 32}, "toggleApp"},
      {"Activate", {-20, 32}, "toggleApp"},  // the panel button's padding: the item itself
      {"SecondaryActivate", {}, "toggleTimer"},  {"ActivateMenuEntry", {5}, std::nullopt},
      {"ActivateMenuEntry", {-1}, std::nullopt}, {"ActivateMenuEntry", {1}, "toggleApp"},
  };
  // Another client of the bus clicks too, and is answered with nothing done: only the shell clicks.
  QDBusConnection stranger = QDBusConnection::connectToBus(address_, QStringLiteral("test-stranger"));
  for (const auto& click : clicks) {
    stranger.call(
        QDBusMessage::createMethodCall(itemName, itemPath, itemInterface, QLatin1String(click.method))
        << click.arguments);
    callItem(click.method, click.arguments);
    if (click.action) {
      EXPECT_EQ(mainApp.readLine(patience(60)), R"({"action":")" + *click.action + R"("})");
    }
  }
  EXPECT_TRUE(waitFor([&] { return printed(QProcess::StandardOutput).size() >= 4; }));
  EXPECT_EQ(out_, (std::vector<std::string>{"Toggling timer", "Toggling main app", "Toggling timer",
                                            "Toggling main app"}))
      << "the padding's click is the item's own silent action; entries out of the menu do nothing";
}

// A bar no shell can have is refused, with a line for each value, and shows nothing; the first sound
// report shows the item.
TEST_F(GnomeShellEndToEnd, RefusesWhatNoBarCanBeAndRecovers) {
  enableExtension({{QStringLiteral("PanelHeight"), 100000},
                   {QStringLiteral("ScaleFactor"), 0},
                   {QStringLiteral("PanelFrame"), QStringLiteral("(0, 0, 1280, 32)")},
                   {QStringLiteral("ItemFrame"), QVariant::fromValue(Frame{0, 0, -5, 32})}});
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  const std::vector<std::string> refused = {
      "Ignored the GNOME Shell extension's ItemFrame: (0, 0, -5, 32) is off any screen",
      "Ignored the GNOME Shell extension's PanelFrame: not a rectangle (iiii)",
      "Ignored the GNOME Shell extension's PanelHeight: 100000 is outside 1 to 1024",
      "Ignored the GNOME Shell extension's ScaleFactor: 0 is outside 1 to 8",
  };
  const auto refusals = [&] {
    std::vector<std::string> lines;
    for (const std::string& line : printed(QProcess::StandardError))
      if (line.starts_with("Ignored the GNOME Shell")) lines.push_back(line);
    return lines;
  };
  ASSERT_TRUE(waitFor([&] { return refusals().size() >= refused.size(); }));
  EXPECT_EQ(refusals(), refused);
  EXPECT_FALSE(itemPublished()) << "published with no bar to show it in";

  extension_->report(panel(32, 1, 63));
  ASSERT_TRUE(waitFor([&] { return itemPublished(); })) << "a sound report did not show the item";
  EXPECT_TRUE(image() == expectedImage(32, 1));
  EXPECT_EQ(companion_.state(), QProcess::Running);
}

// The extension's name owner reporting without pause: the item is drawn for where the reports settle, not
// once for each of them, which would pile its pictures up on the bus.
TEST_F(GnomeShellEndToEnd, DrawsABurstOfPanelReportsOnceItSettles) {
  enableExtension(panel(32, 1, 63));
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  ASSERT_TRUE(waitFor([&] { return itemPublished(); })) << "the item was not published";
  PictureAnnouncements announcements(peer_);
  constexpr int reports = 400;
  for (int report = 0; report < reports; ++report)
    extension_->report(panel(32 + report % 2, 1, 63));
  extension_->report(panel(40, 1, 63));
  ASSERT_TRUE(waitFor([&] { return announcements.last == expectedImage(40, 1); }))
      << "the last report was not drawn";
  EXPECT_LT(announcements.count, reports / 4);
}

// A flood of clicks from the extension's name while the main application reads nothing: a person's burst
// gets through, the rest is dropped with one line, so the channel's queue stays small.
TEST_F(GnomeShellEndToEnd, ClickFloodWhileNobodyReadsIsBounded) {
  enableExtension(panel(32, 1, 63));
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  ASSERT_TRUE(waitFor([&] { return itemPublished(); })) << "the item was not published";
  const auto send = [&](const char* method, const QVariantList& arguments = {}) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(itemName, itemPath, itemInterface, QLatin1String(method));
    call.setArguments(arguments);
    peer_.send(call);
  };
  constexpr int flood = 2000;
  for (int i = 0; i < flood; ++i)
    send("Activate", {40, 16});  // on the coloured segment
  const std::string dropped = "PellmorStatus: too many clicks from the GNOME Shell extension; dropping some";
  EXPECT_TRUE(waitFor([&] {
    const std::vector<std::string> lines = printed(QProcess::StandardError);
    return std::count(lines.begin(), lines.end(), dropped) == 1;
  }));

  // Once the main application reads, the clicks that got through arrive, then a later one on its own.
  const std::optional<int> toggles =
      linesBefore(R"({"action":"toggleTimer"})", [&] { send("SecondaryActivate"); });
  ASSERT_TRUE(toggles) << "a later click never arrived";
  EXPECT_GE(*toggles, 20) << "a person's burst";
  EXPECT_LE(*toggles, 40) << "of " << flood;
}

// A client that asks for the picture again and again and reads none of the answers: once the bus daemon
// holds its share of them, the answers that wait in the companion are empty pictures, so it does not grow
// with every request; once the bus takes the item's messages again the picture is announced anew.
TEST_F(GnomeShellEndToEnd, PictureRequestsNobodyReadsAreBounded) {
  // The daemon stops reading from the companion after a few pictures, as a real session bus does after a
  // gigabyte of them.
  ASSERT_NO_FATAL_FAILURE(limitBus("max_incoming_bytes", 1'000'000));
  enableExtension(panel(256, 8, 504));  // at scale 8: half a megabyte a picture
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  ASSERT_TRUE(waitFor([&] { return itemPublished(); })) << "the item was not published";
  UnreadingClient client(address_.toStdString());
  ASSERT_TRUE(client.connected());
  const auto askForThePicture = [&] {
    client.getProperty(itemName.toStdString(), itemPath.toStdString(), itemInterface.toStdString(), "Image");
  };
  askForThePicture();
  const std::int64_t picture = client.readAnswers().bytes;
  constexpr std::int64_t bound = 32 << 20;
  constexpr int requests = 1000;
  ASSERT_GT(picture * requests, 10 * bound) << "a picture of " << picture << " bytes";

  for (int i = 0; i < requests; ++i)
    askForThePicture();
  const std::string heldBack =
      "PellmorStatus: the session bus is not taking the item's messages; Image is sent empty until it does";
  ASSERT_TRUE(waitFor([&] { return std::ranges::count(printed(QProcess::StandardError), heldBack) == 1; }));
  PictureAnnouncements announcements(peer_);
  const UnreadingClient::Answers answers = client.readAnswers();
  EXPECT_EQ(answers.count, requests);
  EXPECT_LT(answers.bytes, bound) << requests << " pictures of " << picture << " bytes asked for";
  EXPECT_TRUE(waitFor([&] { return announcements.count > 0; })) << "the picture was never announced anew";
  EXPECT_TRUE(image() == expectedImage(32, 8));
}

// The session bus dies and a new one starts at the same address: the companion connects to it and shows
// the item to the extension there. While the bus is gone it says once that no host shows the item.
TEST_F(GnomeShellEndToEnd, ComesBackOnANewBusAtTheSameAddress) {
  enableExtension(panel(32, 1, 63));
  ASSERT_NO_FATAL_FAILURE(startCompanion());
  ASSERT_TRUE(waitFor([&] { return itemPublished(); })) << "the item was not published";
  const auto missing = [&] {
    const std::vector<std::string> lines = printed(QProcess::StandardError);
    return std::count_if(lines.begin(), lines.end(),
                         [](const std::string& line) { return line.starts_with("No tray to show"); });
  };
  const auto missingBefore = missing();
  extension_.reset();
  stopBus();
  EXPECT_TRUE(waitFor([&] { return missing() == missingBefore + 1; }));
  ASSERT_NO_FATAL_FAILURE(startBus());
  enableExtension(panel(32, 1, 63));
  ASSERT_TRUE(waitFor([&] { return itemPublished(); })) << "not shown on the new bus";
  EXPECT_EQ(processServing(itemName), companion_.processId());
  EXPECT_TRUE(image() == expectedImage(32, 1));
  EXPECT_EQ(missing(), missingBefore + 1);
}

}  // namespace
}  // namespace pellmor::testing

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication application(argc, argv);
  qDBusRegisterMetaType<Frame>();
  pellmor::gnome::registerShellTypes();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

#include "desktop-gnome-shell-test.moc"
