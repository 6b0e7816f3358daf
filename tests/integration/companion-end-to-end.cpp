// The whole companion in one process with no display: a channel over real FIFOs, the controller with its
// content in a virtual menu bar, lines from the main application in, second-by-second display and every
// click's line out.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Backends/Headless/HeadlessStatusBar.h"
#include "StatusItemManager.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeTicker.h"
#include "fakes/ManualMainThread.h"
#include "fakes/TempChannel.h"

namespace pellmor {
namespace {

using platform::makeRect;
using platform::Point;
using platform::Rect;

constexpr double launchTime = 1'700'000'000.0;

std::string showTimer(double startedAt, double hours) {
  return nlohmann::json{{"action", "showTimer"}, {"startedAt", startedAt}, {"hoursWithoutTimer", hours}}
      .dump();
}

std::string set(const std::string& action, const nlohmann::json& value) {
  return nlohmann::json{{"action", action}, {"value", value}}.dump();
}

// What the menu bar shows, as one comparable value.
struct Shown {
  std::string image;
  std::string text;
  Rect timerSegment;
  Rect trailingSegment;
  Rect item;  // the button's frame, which the host view shares
  friend bool operator==(const Shown&, const Shown&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Shown& shown) {
    return out << shown.image << '|' << shown.text << " trailing width " << shown.trailingSegment.width()
               << " item " << shown.item.width() << 'x' << shown.item.height();
  }
};

Shown signedIn(std::string image, std::string text) {
  return {std::move(image), std::move(text), makeRect(2, 0, 20, 16), makeRect(22, 0, 39, 16),
          makeRect(0, 0, 63, 22)};
}

Shown signedOut(std::string image) {
  return {std::move(image), "Sign In", makeRect(2, 0, 20, 16), makeRect(22, 0, 52, 16),
          makeRect(0, 0, 76, 22)};
}

class Companion : public ::testing::Test {
 protected:
  Companion() {
    const auto fifo = [this]() -> FIFOManager& { return channel.fifo(); };
    manager = std::make_unique<StatusItemManager>(StatusItemManager::Environment{
        &statusBar,
        &screens,
        fifo,
        {.channel = fifo, .mainThread = &mainThread, .clock = &clock, .tickers = &tickers}});
    manager->setupStatusItem();
    mainThread.drain();
  }

  HeadlessHostingView& host() { return dynamic_cast<HeadlessHostingView&>(*manager->hostingView()); }

  Shown shown() {
    const platform::RenderDescription description = host().content().render();
    EXPECT_EQ(manager->statusItem()->button()->frame(), manager->hostingView()->frame());
    return {description.imageName, description.text, description.timerButtonFrame, description.trailingFrame,
            manager->statusItem()->button()->frame()};
  }

  // Sends the main application's lines and runs the main thread until the display shows `expected`.
  void receive(const std::vector<std::string>& lines, const Shown& expected) {
    ASSERT_TRUE(testing::writeIncoming(channel.fifo().fromMainPath(), lines));
    mainThread.waitFor([&] { return shown() == expected; });
    EXPECT_EQ(shown(), expected);
  }

  void nextSecond() {
    clock.advance(1);
    tickers.tick();
  }

  // A click at a point of the host view (top-left origin): the lines printed and the lines sent.
  std::pair<std::string, std::vector<std::string>> click(Point point) {
    testing::OutgoingReader reader(channel.fifo().toMainPath());
    ::testing::internal::CaptureStdout();
    host().click(point);
    channel.fifo().sendMessage("end of test");
    const std::vector<std::string> sent = reader.readUntil("end of test");
    return {::testing::internal::GetCapturedStdout(), sent};
  }

  testing::ManualMainThread mainThread;
  testing::FakeClock clock{launchTime};
  testing::FakeTickerFactory tickers;
  HeadlessStatusBar statusBar{{.windowFrame = makeRect(0, 1056, 1920, 24), .buttonOrigin = {1500, 1}}};
  HeadlessScreens screens{{makeRect(0, 0, 1920, 1080)}};
  testing::TempChannel channel{mainThread, [this] { return manager->menubarPositionInfo(); }};
  std::unique_ptr<StatusItemManager> manager;
};

TEST_F(Companion, ShowsWhatTheMainApplicationSendsSecondBySecond) {
  EXPECT_EQ(shown(), signedIn("PlayButton", "-:--"));

  receive({showTimer(launchTime - 3928, 0)}, signedIn("PauseButton", "1:05"));
  const int redrawsBefore = host().displayChangeCount();
  const std::string everySecond[] = {"1:05", "1:06", "1:06"};
  for (const std::string& text : everySecond) {
    nextSecond();
    EXPECT_EQ(shown(), signedIn("PauseButton", text));
  }
  EXPECT_EQ(host().displayChangeCount(), redrawsBefore + 1);  // only the change of text asks for a redraw

  receive({set("setTimeFormat", "decimal"), set("setDecimalSymbol", ",")}, signedIn("PauseButton", "1,09"));
  receive({set("setTimestampsMode", true)}, signedIn("StopButton", "1,09"));
  receive({set("setAuthenticated", false)}, signedOut("StopButton"));
  nextSecond();
  EXPECT_EQ(shown(), signedOut("StopButton"));
  receive({set("setAuthenticated", true)}, signedIn("StopButton", "1,09"));
  receive({set("setDecimalSymbol", "."), set("setTimeFormat", "hours_minutes")},
          signedIn("StopButton", "1:06"));
  receive({R"({"action":"clearTimer"})"}, signedIn("PlayButton", "-:--"));
  receive({set("setTimestampsMode", false), showTimer(launchTime - 360, 125)},
          signedIn("PauseButton", "125:06"));
  EXPECT_EQ(tickers.runningCount(), 1u);
}

TEST_F(Companion, AnswersPositionRequestsWithTheItemsPlace) {
  testing::OutgoingReader reader(channel.fifo().toMainPath());
  ASSERT_TRUE(
      testing::writeIncoming(channel.fifo().fromMainPath(), {R"({"action":"requestMenubarPosition"})"}));
  std::optional<std::string> sent;
  mainThread.waitFor([&] { return (sent = reader.readLine(std::chrono::milliseconds(10))).has_value(); });
  ASSERT_TRUE(sent.has_value());
  EXPECT_EQ(
      nlohmann::json::parse(*sent),
      (nlohmann::json{{"action", "menubarPosition"}, {"x", 1500}, {"y", 0}, {"width", 63}, {"height", 24}}));
}

TEST_F(Companion, ClicksOnEachRegionSendTheirLines) {
  struct Case {
    const char* region;
    Point point;  // in the 63 x 22 item; the 16-point row is centred, 3 points from the top
    std::string printed;
    std::vector<std::string> sent;
  };
  const Case table[] = {
      {"timer button", {12, 11}, "Toggling timer\n", {R"({"action":"toggleTimer"})"}},
      {"coloured segment", {40, 11}, "Toggling main app\n", {R"({"action":"toggleApp"})"}},
      {"leading padding", {1, 11}, "", {R"({"action":"toggleApp"})"}},
      {"above the row", {12, 1}, "", {R"({"action":"toggleApp"})"}},
  };
  for (const Case& row : table) {
    SCOPED_TRACE(row.region);
    const auto [printed, sent] = click(row.point);
    EXPECT_EQ(printed, row.printed);
    EXPECT_EQ(sent, row.sent);
  }
  EXPECT_EQ(shown(), signedIn("PlayButton", "-:--"));  // nothing changes until the main application answers
}

}  // namespace
}  // namespace pellmor
