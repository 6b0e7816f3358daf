// The status item's content from sequences of channel changes: what it draws, the sizes it publishes,
// when it rebuilds, and where clicks go.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "StatusItem.h"
#include "support/Channel.h"
#include "support/Fakes.h"

namespace pellmor {
namespace {

using platform::HitTarget;
using platform::makeRect;
using platform::Point;
using platform::RenderDescription;
using platform::Size;
using Lines = std::vector<std::string>;
using Sizes = std::vector<Size>;

constexpr double now = 1'700'000'000.0;
const std::string toggleTimer = R"({"action":"toggleTimer"})";
const std::string toggleApp = R"({"action":"toggleApp"})";

RenderDescription drawn(std::string image, std::string text, double trailingWidth, platform::Rect textFrame) {
  return {.size = {2 + 20 + trailingWidth + 2, 16},
          .timerButtonFrame = makeRect(2, 0, 20, 16),
          .timerButtonCorners = {.topLeading = 2, .bottomLeading = 2},
          .imageName = std::move(image),
          .trailingFrame = makeRect(22, 0, trailingWidth, 16),
          .trailingCorners = {.bottomTrailing = 2, .topTrailing = 2},
          .trailingBackgroundColour = "StatusItemBackground",
          .text = std::move(text),
          .textFrame = textFrame,
          .fontSize = 11,
          .textColour = "white"};
}
RenderDescription signIn(std::string image) {
  return drawn(std::move(image), "Sign In", 52, makeRect(22, 0, 52, 16));
}
RenderDescription placeholder(std::string image) {
  return drawn(std::move(image), "-:--", 39, makeRect(22, 0, 39, 16));
}
// The elapsed time keeps two points of padding on either side inside its segment.
RenderDescription elapsed(std::string image, std::string text) {
  return drawn(std::move(image), std::move(text), 39, makeRect(24, 0, 35, 16));
}

class StatusItemContent : public ::testing::Test {
 protected:
  void installContent(std::function<std::string(std::string_view)> translate = {}) {
    content = std::make_unique<StatusItem>(
        StatusItem::Environment{.channel = [this]() -> FIFOManager& { return fifo(); },
                                .mainThread = &mainThread,
                                .clock = &clock,
                                .tickers = &tickers,
                                .translate = std::move(translate)},
        sizePassthrough);
    content->install([this] { ++displayChanges; });
  }

  // Changes of the channel, then the main thread's pass.
  void apply(const std::function<void(FIFOManager&)>& change) {
    change(fifo());
    mainThread.drain();
  }
  void startTimer(double startedAt) {
    apply([&](FIFOManager& f) {
      f.setTimerStartedAt(startedAt);
      f.setHoursWithoutTimer(0.0);
    });
  }

  // The lines printed and the outgoing lines of the actions run by `act`.
  std::pair<std::string, Lines> outputOf(const std::function<void()>& act) {
    ::testing::internal::CaptureStdout();
    Lines sent = testing::linesSentBy(fifo(), act);
    return {::testing::internal::GetCapturedStdout(), std::move(sent)};
  }

  FIFOManager& fifo() { return channel.fifo(); }

  testing::ManualMainThread mainThread;
  testing::FakeClock clock{now};
  testing::FakeTickerFactory tickers;
  testing::TempChannel channel{mainThread};
  std::shared_ptr<SizeSubject> sizePassthrough = std::make_shared<SizeSubject>();
  Sizes published;
  Subscription sizes = sizePassthrough->subscribe([this](Size size) { published.push_back(size); });
  int displayChanges = 0;
  std::unique_ptr<StatusItem> content;
};

TEST_F(StatusItemContent, PublishesTheFirstSizeOnTheNextPassThenEachChangeOfWidth) {
  installContent();
  EXPECT_EQ(content->render(), placeholder("PlayButton"));
  EXPECT_EQ(displayChanges, 1);
  EXPECT_TRUE(published.empty());  // measured on the first layout pass
  EXPECT_EQ(content->label(), nullptr);
  mainThread.drain();
  EXPECT_EQ(published, (Sizes{{63, 16}}));
  startTimer(now - 3930);
  apply([](FIFOManager& f) { f.setAuthenticated(false); });  // signing out keeps the image
  EXPECT_EQ(content->render(), signIn("PauseButton"));
  apply([](FIFOManager& f) { f.setAuthenticated(true); });
  EXPECT_EQ(content->render(), elapsed("PauseButton", "1:06"));
  EXPECT_EQ(published, (Sizes{{63, 16}, {76, 16}, {63, 16}}));

  published.clear();
  installContent();
  apply([](FIFOManager& f) { f.setAuthenticated(false); });  // the size of the state at the first pass
  EXPECT_EQ(published, (Sizes{{76, 16}}));
}

TEST_F(StatusItemContent, DrawsEachDisplayState) {
  struct Case {
    const char* situation;
    bool authenticated;
    std::optional<double> timerStartedAt;
    std::optional<double> hoursWithoutTimer;
    bool timestampsMode;
    std::string timeFormat;
    std::string decimalSymbol;
    RenderDescription expected;
  };
  const std::string hm = "hours_minutes";
  const Case table[] = {
      {"signed out, no timer", false, std::nullopt, std::nullopt, false, hm, ".", signIn("PlayButton")},
      {"signed out, timer", false, now - 60, 0.0, false, hm, ".", signIn("PauseButton")},
      {"signed out, timestamps", false, now - 60, 0.0, true, hm, ".", signIn("StopButton")},
      {"timer, no hours", true, now - 60, std::nullopt, false, hm, ".", placeholder("PauseButton")},
      {"hours, no timer", true, std::nullopt, 0.25, false, hm, ".", elapsed("PlayButton", "0:15")},
      {"timestamps, no timer", true, std::nullopt, std::nullopt, true, hm, ".", placeholder("PlayButton")},
      {"timestamps, timer", true, now - 3930, 0.0, true, hm, ".", elapsed("StopButton", "1:06")},
      {"decimal comma", true, now - 1800, 1.5, false, "decimal", ",", elapsed("PauseButton", "2,00")},
      {"decimal point", true, std::nullopt, 125.0, false, "decimal", ".", elapsed("PlayButton", "125.00")},
  };
  installContent();
  for (const Case& row : table) {
    SCOPED_TRACE(row.situation);
    apply([&](FIFOManager& f) {
      f.setAuthenticated(row.authenticated);
      f.setTimerStartedAt(row.timerStartedAt);
      f.setHoursWithoutTimer(row.hoursWithoutTimer);
      f.setTimestampsMode(row.timestampsMode);
      f.setTimeFormat(row.timeFormat);
      f.setDecimalSymbol(row.decimalSymbol);
    });
    EXPECT_EQ(content->render(), row.expected);
    EXPECT_EQ(published.back(), row.expected.size);
  }
}

TEST_F(StatusItemContent, SeveralSignalsBeforeTheNextPassRebuildOnce) {
  installContent();
  fifo().setAuthenticated(false);
  fifo().setAuthenticated(true);
  fifo().setTimerStartedAt(now - 3930);
  fifo().setHoursWithoutTimer(0.0);
  EXPECT_EQ(content->render().text, "-:--");  // nothing rebuilt before the pass
  EXPECT_EQ(mainThread.queued(), 1u);
  mainThread.drain();
  EXPECT_EQ(displayChanges, 2);
  EXPECT_EQ(published, (Sizes{{63, 16}}));  // the row ended as wide as it started
  EXPECT_EQ(content->render().text, "1:06");
  EXPECT_EQ(tickers.startedCount(), 1);
}

// The label lives as long as its branch: rebuilds keep it (a new start time waits for its tick), leaving
// the branch stops its ticker, and a label shown anew computes its text at once.
TEST_F(StatusItemContent, LabelSurvivesRebuildsOnItsBranchAndStartsAfreshOnReturn) {
  installContent();
  startTimer(now - 3600);
  const ElapsedTimeLabel* label = content->label();
  ASSERT_NE(label, nullptr);
  apply([](FIFOManager& f) {
    f.setTimerStartedAt(now - 7200);
    f.setTimestampsMode(true);
  });
  EXPECT_EQ(content->label(), label);
  EXPECT_EQ(content->render(), elapsed("StopButton", "1:00"));
  const int before = displayChanges;
  tickers.tick();
  EXPECT_EQ(content->render().text, "2:00");
  EXPECT_EQ(displayChanges, before + 1);  // the text change alone redraws

  apply([](FIFOManager& f) {
    f.setTimerStartedAt(now - 10800);
    f.setAuthenticated(false);
  });
  EXPECT_EQ(tickers.runningCount(), 0u);
  apply([](FIFOManager& f) { f.setAuthenticated(true); });
  EXPECT_EQ(content->render().text, "3:00");
  EXPECT_EQ(tickers.runningCount(), 1u);
}

TEST_F(StatusItemContent, ARebuildAlreadyPostedIsDroppedWithTheContent) {
  installContent();
  fifo().setAuthenticated(false);
  content.reset();
  mainThread.drain();
  EXPECT_TRUE(published.empty());
  fifo().setAuthenticated(true);  // no subscriber left
  EXPECT_EQ(mainThread.queued(), 0u);
}

// The three texts the compact forms must fit: the placeholder, a running total and the sign-in prompt.
enum class Shown { placeholder, total, signIn };

class StatusItemCompactForm : public StatusItemContent {
 protected:
  void show(Shown shown) {
    apply([&](FIFOManager& f) {
      f.setAuthenticated(shown != Shown::signIn);
      f.setTimerStartedAt(shown == Shown::total ? std::optional<double>(now - 3930) : std::nullopt);
      f.setHoursWithoutTimer(shown == Shown::total ? std::optional<double>(0.0) : std::nullopt);
    });
  }
};

TEST_F(StatusItemCompactForm, EachCellGetsTheFormMadeForIt) {
  using platform::Form;
  using platform::Rect;
  struct Case {
    Size cell;
    Shown shown;
    Form form;
    Rect image;  // where the timer image is drawn; empty: not drawn
    Rect text;   // where the text is drawn; empty: not drawn
    double fontSize;
    bool wraps;
  };
  const Rect none{};
  const Case table[] = {
      // Cells that hold the row get it unchanged (checked against render() below).
      {{63, 22}, Shown::placeholder, Form::full, makeRect(2, 0, 20, 16), makeRect(22, 0, 39, 16), 11, false},
      {{76, 22}, Shown::signIn, Form::full, makeRect(2, 0, 20, 16), makeRect(22, 0, 52, 16), 11, false},
      // A row too narrow for "Sign In" at full size (trayer 18 high, or before it follows the width).
      {{63, 16}, Shown::signIn, Form::compactRow, makeRect(2, 0, 20, 16), makeRect(22, 0, 39, 16), 9, false},
      // Squares too small for text show the state alone, over the whole cell.
      {{18, 18}, Shown::total, Form::stacked, makeRect(0, 0, 18, 18), none, 0, false},
      {{16, 16}, Shown::signIn, Form::stacked, makeRect(0, 0, 16, 16), none, 0, false},
      // From 22 up: the image above, the text below at the largest size that fits.
      {{22, 22}, Shown::total, Form::stacked, makeRect(0, 0, 22, 10), makeRect(0, 10, 22, 12), 9, false},
      {{32, 24}, Shown::total, Form::stacked, makeRect(0, 0, 32, 11), makeRect(0, 11, 32, 13), 10, false},
      {{32, 32}, Shown::total, Form::stacked, makeRect(0, 0, 32, 14), makeRect(0, 14, 32, 18), 13, false},
      // "Sign In" is too long for one line under the image: it takes the cell on two lines.
      {{22, 22}, Shown::signIn, Form::stacked, none, makeRect(0, 0, 22, 22), 8, true},
      {{32, 32}, Shown::signIn, Form::stacked, none, makeRect(0, 0, 32, 32), 12, true},
  };
  installContent();
  for (const Case& row : table) {
    SCOPED_TRACE(::testing::Message()
                 << row.cell.width << 'x' << row.cell.height << " showing " << static_cast<int>(row.shown));
    show(row.shown);
    const RenderDescription full = content->render();
    const RenderDescription drawnInCell = content->render(row.cell);
    EXPECT_EQ(drawnInCell.form, row.form);
    // Every form shows the same state and text, whatever part of it fits.
    EXPECT_EQ(drawnInCell.imageName, full.imageName);
    EXPECT_EQ(drawnInCell.text, full.text);
    EXPECT_EQ(drawnInCell.timerButtonFrame, row.image);
    EXPECT_EQ(drawnInCell.textFrame, row.text);
    EXPECT_EQ(drawnInCell.fontSize, row.fontSize);
    EXPECT_EQ(drawnInCell.textWraps, row.wraps);
    if (row.form == Form::full) {
      EXPECT_EQ(drawnInCell, full);
    } else {
      // A compact form fills its cell's width; the stacked one also its height, with the image fitted.
      EXPECT_EQ(drawnInCell.size.width, row.cell.width);
      EXPECT_EQ(drawnInCell.imageFitted, row.form == Form::stacked);
      if (row.form == Form::stacked) {
        EXPECT_EQ(drawnInCell.size, row.cell);
      }
    }
  }
}

// Clicks print their line, then send their action. Points are in the cell's coordinates, or the row's
// without a cell; the full row is centred in a cell larger than itself.
TEST_F(StatusItemCompactForm, ClicksRunWhatIsUnderThem) {
  struct Case {
    std::optional<Size> cell;
    Shown shown;
    Point point;
    HitTarget target;
  };
  const Case table[] = {
      {std::nullopt, Shown::placeholder, {1.99, 8}, HitTarget::none},
      {std::nullopt, Shown::placeholder, {2, 0}, HitTarget::timerButton},
      {std::nullopt, Shown::placeholder, {22, 15.99}, HitTarget::trailingButton},
      {std::nullopt, Shown::placeholder, {61, 8}, HitTarget::none},
      {std::nullopt, Shown::signIn, {73.99, 8}, HitTarget::trailingButton},
      {std::nullopt, Shown::signIn, {74, 8}, HitTarget::none},
      {Size{63, 22}, Shown::placeholder, {12, 11}, HitTarget::timerButton},
      {Size{63, 22}, Shown::placeholder, {30, 2.99}, HitTarget::none},  // above the centred row
      {Size{63, 16}, Shown::signIn, {21.99, 8}, HitTarget::timerButton},
      {Size{63, 16}, Shown::signIn, {22, 8}, HitTarget::trailingButton},
      {Size{18, 18}, Shown::total, {0, 17.99}, HitTarget::timerButton},
      {Size{32, 24}, Shown::total, {31, 10.99}, HitTarget::timerButton},
      {Size{32, 24}, Shown::total, {0, 11}, HitTarget::trailingButton},
      {Size{32, 24}, Shown::total, {32, 12}, HitTarget::none},
      {Size{22, 22}, Shown::signIn, {11, 1}, HitTarget::trailingButton},  // the text alone fills the cell
  };
  const std::map<HitTarget, std::pair<std::string, Lines>> output = {
      {HitTarget::timerButton, {"Toggling timer\n", {toggleTimer}}},
      {HitTarget::trailingButton, {"Toggling main app\n", {toggleApp}}},
      {HitTarget::none, {"", {}}}};
  installContent();
  for (const Case& row : table) {
    const Size cell = row.cell.value_or(Size{});
    SCOPED_TRACE(::testing::Message()
                 << cell.width << 'x' << cell.height << " at (" << row.point.x << ',' << row.point.y << ')');
    show(row.shown);
    EXPECT_EQ(row.cell ? content->hitTest(row.point, cell) : content->hitTest(row.point), row.target);
    bool handled = false;
    EXPECT_EQ(
        outputOf([&] { handled = row.cell ? content->click(row.point, cell) : content->click(row.point); }),
        output.at(row.target));
    EXPECT_EQ(handled, row.target != HitTarget::none);
  }
}

// The menu runs both actions; its titles and the texts shown go through translation, the time does not.
TEST_F(StatusItemContent, MenuRunsBothActionsAndTextsButNotTheTimeAreTranslated) {
  installContent([](std::string_view text) { return "[" + std::string(text) + "]"; });
  const std::vector<platform::MenuEntry> expected{{"[Toggle Timer]", HitTarget::timerButton},
                                                  {"[Show or Hide Pellmor]", HitTarget::trailingButton}};
  EXPECT_EQ(content->menu(), expected);
  EXPECT_EQ(outputOf([&] {
              for (const platform::MenuEntry& entry : content->menu())
                content->activate(entry.target);
              content->activate(HitTarget::none);
            }),
            std::pair(std::string("Toggling timer\nToggling main app\n"), Lines{toggleTimer, toggleApp}));
  EXPECT_EQ(content->render().text, "[-:--]");
  apply([](FIFOManager& f) { f.setAuthenticated(false); });
  EXPECT_EQ(content->render().text, "[Sign In]");
  apply([](FIFOManager& f) {
    f.setAuthenticated(true);
    f.setHoursWithoutTimer(1.0);
  });
  EXPECT_EQ(content->render().text, "1:00");
}

}  // namespace
}  // namespace pellmor
