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

// The full row. "Sign In" takes a wider segment; the elapsed time keeps two points of padding on either
// side inside its segment.
RenderDescription drawn(std::string image, std::string text) {
  const double trailingWidth = text == "Sign In" ? 52 : 39;
  const bool padded = text != "Sign In" && text != "-:--";
  return {.size = {2 + 20 + trailingWidth + 2, 16},
          .timerButtonFrame = makeRect(2, 0, 20, 16),
          .timerButtonCorners = {.topLeading = 2, .bottomLeading = 2},
          .imageName = std::move(image),
          .trailingFrame = makeRect(22, 0, trailingWidth, 16),
          .trailingCorners = {.bottomTrailing = 2, .topTrailing = 2},
          .trailingBackgroundColour = "StatusItemBackground",
          .text = std::move(text),
          .textFrame = padded ? makeRect(24, 0, 35, 16) : makeRect(22, 0, trailingWidth, 16),
          .fontSize = 11,
          .textColour = "white"};
}

// The three texts the compact forms must fit: the placeholder, a running total and the sign-in prompt.
enum class Shown { placeholder, total, signIn };

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

  void show(Shown shown) {
    apply([&](FIFOManager& f) {
      f.setAuthenticated(shown != Shown::signIn);
      f.setTimerStartedAt(shown == Shown::total ? std::optional<double>(now - 3930) : std::nullopt);
      f.setHoursWithoutTimer(shown == Shown::total ? std::optional<double>(0.0) : std::nullopt);
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

TEST_F(StatusItemContent, PublishesTheSizeOnTheNextPassThenOnEachWidthChangeAndRebuildsOncePerPass) {
  installContent();
  fifo().setAuthenticated(false);
  fifo().setTimerStartedAt(now - 3930);
  fifo().setHoursWithoutTimer(0.0);
  EXPECT_EQ(content->render(), drawn("PlayButton", "-:--"));  // nothing rebuilt before the pass
  EXPECT_EQ(mainThread.queued(), 1u);
  mainThread.drain();
  EXPECT_EQ(displayChanges, 2);
  EXPECT_EQ(published, (Sizes{{76, 16}}));  // the size of the state at the first pass
  EXPECT_EQ(content->render(), drawn("PauseButton", "Sign In"));
  apply([](FIFOManager& f) { f.setAuthenticated(true); });
  EXPECT_EQ(content->render(), drawn("PauseButton", "1:06"));
  EXPECT_EQ(displayChanges, 3);  // the new label's first text is part of the rebuild's one redraw
  apply([](FIFOManager& f) { f.setHoursWithoutTimer(1.0); });
  EXPECT_EQ(published, (Sizes{{76, 16}, {63, 16}}));
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
      {"signed out", false, std::nullopt, std::nullopt, false, hm, ".", drawn("PlayButton", "Sign In")},
      {"signed out, timer", false, now - 60, 0.0, false, hm, ".", drawn("PauseButton", "Sign In")},
      {"signed out, timestamps", false, now - 60, 0.0, true, hm, ".", drawn("StopButton", "Sign In")},
      {"timer, no hours", true, now - 60, std::nullopt, false, hm, ".", drawn("PauseButton", "-:--")},
      {"hours, no timer", true, std::nullopt, 0.25, false, hm, ".", drawn("PlayButton", "0:15")},
      {"timestamps, no timer", true, std::nullopt, std::nullopt, true, hm, ".", drawn("PlayButton", "-:--")},
      {"timestamps, timer", true, now - 3930, 0.0, true, hm, ".", drawn("StopButton", "1:06")},
      {"decimal comma", true, now - 1800, 1.5, false, "decimal", ",", drawn("PauseButton", "2,00")},
      {"decimal point", true, std::nullopt, 125.0, false, "decimal", ".", drawn("PlayButton", "125.00")},
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

// The label lives as long as its branch: rebuilds keep it (a new start time waits for its tick), leaving
// the branch stops its ticker, and a label shown anew computes its text at once.
TEST_F(StatusItemContent, LabelSurvivesRebuildsOnItsBranchAndStartsAfreshOnReturn) {
  installContent();
  apply([](FIFOManager& f) {
    f.setTimerStartedAt(now - 3600);
    f.setHoursWithoutTimer(0.0);
  });
  const ElapsedTimeLabel* label = content->label();
  ASSERT_NE(label, nullptr);
  apply([](FIFOManager& f) {
    f.setTimerStartedAt(now - 7200);
    f.setTimestampsMode(true);
  });
  EXPECT_EQ(content->label(), label);
  EXPECT_EQ(content->render(), drawn("StopButton", "1:00"));
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

TEST_F(StatusItemContent, EachCellGetsTheFormMadeForIt) {
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
      // A cell that holds the row gets it unchanged (checked against render() below).
      {{63, 22}, Shown::placeholder, Form::full, makeRect(2, 0, 20, 16), makeRect(22, 0, 39, 16), 11, false},
      // A row too narrow for "Sign In" at full size (trayer 18 high, or before it follows the width).
      {{63, 16}, Shown::signIn, Form::compactRow, makeRect(2, 0, 20, 16), makeRect(22, 0, 39, 16), 9, false},
      // Squares too small for text show the state alone, over the whole cell.
      {{18, 18}, Shown::total, Form::stacked, makeRect(0, 0, 18, 18), none, 0, false},
      // From 22 up: the image above, the text below at the largest size that fits.
      {{22, 22}, Shown::total, Form::stacked, makeRect(0, 0, 22, 10), makeRect(0, 10, 22, 12), 9, false},
      {{32, 32}, Shown::total, Form::stacked, makeRect(0, 0, 32, 14), makeRect(0, 14, 32, 18), 13, false},
      // "Sign In" is too long for one line under the image: it takes the cell on two lines.
      {{22, 22}, Shown::signIn, Form::stacked, none, makeRect(0, 0, 22, 22), 8, true},
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
      const bool stacked = row.form == Form::stacked;
      EXPECT_EQ(drawnInCell.size, (Size{row.cell.width, stacked ? row.cell.height : 16}));
      EXPECT_EQ(drawnInCell.imageFitted, stacked);
    }
  }
}

// Clicks (each runs what its hit test finds) print their line, then send their action. Points are in the
// cell's coordinates, or the row's without a cell; the full row is centred in a cell larger than itself.
TEST_F(StatusItemContent, ClicksRunWhatIsUnderThem) {
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
      {Size{63, 22}, Shown::placeholder, {30, 2.99}, HitTarget::none},  // above the centred row
      {Size{63, 16}, Shown::signIn, {22, 8}, HitTarget::trailingButton},
      {Size{18, 18}, Shown::total, {0, 17.99}, HitTarget::timerButton},
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
