// The status item's forms laid out for cells, with the fixed metrics of the headless backend: every
// character advances 0.6 em, the ink is 0.7 em high above the baseline, the line 0.8 em above and 0.2 em
// below it.

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "Backends/Headless/FixedTextMetrics.h"
#include "StatusItemLayout.h"

namespace pellmor {
namespace platform {
// Frames in failure messages.
void PrintTo(const Rect& rect, std::ostream* out) {
  *out << rect.width() << 'x' << rect.height() << '+' << rect.origin.x << '+' << rect.origin.y;
}
}  // namespace platform
namespace {

using platform::condensedStretch;
using platform::Form;
using platform::HitTarget;
using platform::makeRect;
using platform::normalStretch;
using platform::Rect;
using platform::RenderDescription;
using platform::Size;
using platform::TextLine;

const DisplayState signIn{"PlayButton", TrailingContent::signIn, "Sign In"};
const DisplayState placeholder{"PlayButton", TrailingContent::placeholder, "-:--"};
const DisplayState total{"PauseButton", TrailingContent::elapsedTime, "1:06"};

bool near(double a, double b) {
  return std::abs(a - b) < 1e-9;
}

// Lines equal but for rounding in the last bits of their origins.
::testing::AssertionResult sameLines(const std::vector<TextLine>& drawn,
                                     const std::vector<TextLine>& expected) {
  bool same = drawn.size() == expected.size();
  for (std::size_t index = 0; same && index < drawn.size(); ++index) {
    same = drawn[index].text == expected[index].text &&
           near(drawn[index].origin.x, expected[index].origin.x) &&
           near(drawn[index].origin.y, expected[index].origin.y);
  }
  if (same) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure() << "lines drawn:";
  for (const TextLine& line : drawn)
    failure << " \"" << line.text << "\" at " << line.origin.x << ',' << line.origin.y;
  return failure;
}

class StatusItemLayout : public ::testing::Test {
 protected:
  RenderDescription layOutFor(const DisplayState& state, Size cell) const {
    return layOut(state, cell, metrics);
  }
  FixedTextMetrics metrics;
};

// The whole row keeps its figures in every cell that is a row and holds it; its text is centred on the
// font's line in the segment (inside the label's padding for the time), cut with an ellipsis when wider.
TEST_F(StatusItemLayout, TheRowKeepsItsFiguresAndCutsAWideTotal) {
  const DisplayState longTotal{"PauseButton", TrailingContent::elapsedTime, "100:06"};
  const struct {
    DisplayState state;
    Size cell;
    Size size;
    Rect trailing;
    TextLine line;  // 11 pixels: the line is 8.8 above the baseline and 2.2 below, 16 high in all
  } table[] = {
      {total, {63, 22}, {63, 16}, makeRect(22, 0, 39, 16), {"1:06", {24 + (35 - 26.4) / 2, 2.5 + 8.8}}},
      {signIn, {100, 40}, {76, 16}, makeRect(22, 0, 52, 16), {"Sign In", {22 + (52 - 46.2) / 2, 11.3}}},
      {placeholder, {63, 16}, {63, 16}, makeRect(22, 0, 39, 16), {"-:--", {22 + (39 - 26.4) / 2, 11.3}}},
      // 6.6 a character: "100:0…" is 39.6 wide, more than the 35 inside the padding.
      {longTotal, {63, 22}, {63, 16}, makeRect(22, 0, 39, 16), {"100:\u2026", {24 + (35 - 33) / 2, 11.3}}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.state.text);
    const RenderDescription drawn = layOutFor(row.state, row.cell);
    EXPECT_EQ(drawn.form, Form::full);
    EXPECT_EQ(drawn.size, row.size);
    EXPECT_EQ(drawn.timerButtonFrame, makeRect(2, 0, 20, 16));
    EXPECT_EQ(drawn.imageFrame, drawn.timerButtonFrame);
    EXPECT_EQ(drawn.trailingFrame, row.trailing);
    EXPECT_EQ(drawn.fontSize, 11);
    EXPECT_EQ(drawn.text, row.state.text);
    EXPECT_TRUE(sameLines(drawn.lines, {row.line}));
  }
}

// Each cell takes the form that shows its text largest for its shape; text and image grow with the cell,
// the image in whole multiples of the artwork, and every edge falls on a whole point.
TEST_F(StatusItemLayout, EachCellGetsTheFormThatShowsItsTextLargest) {
  using enum Form;
  const Rect nothing{};
  const struct {
    DisplayState state;
    Size cell;
    Form form;
    int fontSize;
    Rect button;  // the timer button's frame
    Rect image;   // the artwork's
    Rect segment;
    std::vector<TextLine> lines;
    int stretch = normalStretch;
  } table[] = {
      // A row too narrow for "Sign In" at 11 (46.2 wide): 39 left for it takes 9 pixels.
      {signIn,
       {63, 16},
       compactRow,
       9,
       makeRect(2, 0, 20, 16),
       makeRect(2, 0, 20, 16),
       makeRect(22, 0, 39, 16),
       {{"Sign In", {22 + (39 - 37.8) / 2, 3.5 + 7.2}}}},
      // A row lower than the row's 16 points (trayer 16 pixels high, or 24 at a scale of 1.5) takes the
      // whole points of the cell's height, the artwork centred in the button; the segment keeps its width.
      {total,
       {63.5, 14.7},
       compactRow,
       11,
       makeRect(2, 0, 20, 14),
       makeRect(2, -1, 20, 16),
       makeRect(22, 0, 39, 14),
       {{"1:06", {24 + (35 - 26.4) / 2, 1.5 + 8.8}}}},
      // The text as large as the height leaves room for its line: 10 pixels in 10 points.
      {signIn,
       {100, 10},
       compactRow,
       10,
       makeRect(2, 0, 20, 10),
       makeRect(2, -3, 20, 16),
       makeRect(22, 0, 52, 10),
       {{"Sign In", {22 + (52 - 42) / 2, 8}}}},
      // Lower than the glyph and a point above and below it: a square form.
      {total, {63, 9}, stacked, 0, makeRect(0, 0, 63, 9), makeRect(23, -3, 17.5, 14), nothing, {}},
      // The time under the image: as wide as the cell leaves inside a point on each side, the 8 point glyph
      // above it, the room left shared out evenly above, between and below. At the normal width that is 8
      // pixels, only 6 high: condensed, 11 pixels (19.8 wide, 8 high).
      {total,
       {22, 22},
       stacked,
       11,
       makeRect(0, 0, 22, 11),
       makeRect(1, -2, 20, 16),
       makeRect(0, 11, 22, 11),
       {{"1:06", {1, 21}}},
       condensedStretch},
      // icewm's 32 x 24: two points at the sides, 11 pixels (27 wide, 8 high).
      {total,
       {32, 24},
       stacked,
       11,
       makeRect(0, 0, 32, 12),
       makeRect(6, -2, 20, 16),
       makeRect(0, 12, 32, 12),
       {{"1:06", {3, 22}}}},
      // The larger the cell, the larger the time (23 pixels, 56 wide, 16 high) and the artwork twice its
      // size.
      {total,
       {64, 64},
       stacked,
       23,
       makeRect(0, 0, 64, 32),
       makeRect(12, 0, 40, 32),
       makeRect(0, 32, 64, 32),
       {{"1:06", {4, 56}}}},
      // A row too small for the squeezed row (its segment would be 16 wide) is a square form; the time, 5
      // high, is bound by the height: condensed it would be no taller, so it keeps the normal width.
      {total,
       {40, 16},
       stacked,
       7,
       makeRect(0, 0, 40, 10),
       makeRect(10, -3, 20, 16),
       makeRect(0, 10, 40, 6),
       {{"1:06", {12, 16}}}},
      // Signed out, the words alone, on two lines where that makes them larger: 8 pixels, "Sign" 20 wide.
      {signIn,
       {22, 22},
       textOnly,
       8,
       nothing,
       nothing,
       makeRect(0, 0, 22, 22),
       {{"Sign", {1, 10}}, {"In", {6, 18}}}},
      {signIn,
       {64, 64},
       textOnly,
       23,
       nothing,
       nothing,
       makeRect(0, 0, 64, 64),
       {{"Sign", {4, 30}}, {"In", {18, 51}}}},
      // No text fits: the image alone over the cell.
      {total, {12, 12}, stacked, 0, makeRect(0, 0, 12, 12), makeRect(-4, -2, 20, 16), nothing, {}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(::testing::Message()
                 << row.state.text << " in " << row.cell.width << 'x' << row.cell.height);
    const RenderDescription drawn = layOutFor(row.state, row.cell);
    EXPECT_EQ(drawn.form, row.form);
    EXPECT_EQ(drawn.fontSize, row.fontSize);
    EXPECT_EQ(drawn.fontStretch, row.stretch);
    EXPECT_EQ(drawn.timerButtonFrame, row.button);
    EXPECT_EQ(drawn.imageFrame, row.image);
    EXPECT_EQ(drawn.trailingFrame, row.segment);
    EXPECT_TRUE(sameLines(drawn.lines, row.lines));
    EXPECT_EQ(drawn.imageName, row.state.imageName);
    EXPECT_EQ(drawn.text, row.state.text);
  }
}

// Under the image the placeholder is bars two points thick, not the font's hairline hyphens: a dash, a
// colon of two dots and two dashes, across the 20 points the text "-:--" would take at 8 pixels.
TEST_F(StatusItemLayout, ThePlaceholderUnderTheImageIsDrawnInBars) {
  const RenderDescription drawn = layOutFor(placeholder, {22, 22});
  EXPECT_EQ(drawn.form, Form::stacked);
  EXPECT_TRUE(drawn.lines.empty());
  EXPECT_EQ(drawn.marks,
            (std::vector<Rect>{makeRect(1, 17, 5, 2), makeRect(7, 15, 2, 2), makeRect(7, 18, 2, 2),
                               makeRect(10, 17, 5, 2), makeRect(16, 17, 5, 2)}));
}

// At a pixel ratio that is not whole, a tile is the one laid out for its pixels at the whole ratio below,
// in units of that ratio's pixels; rows stay in points. Hit tests take points and follow the tile drawn.
TEST_F(StatusItemLayout, ATileAtAFractionalRatioIsLaidOutOnItsPixels) {
  for (const double ratio : {1.25, 1.5, 2.5}) {
    SCOPED_TRACE(ratio);
    const double scale = std::floor(ratio) / ratio;  // points per unit
    RenderDescription expected = layOutFor(total, {22, 22});
    expected.scale = scale;
    const Size cell{22 * scale, 22 * scale};
    EXPECT_EQ(layOut(total, cell, metrics, ratio), expected);
    EXPECT_EQ(targetAt(expected, {11 * scale, 10.99 * scale}, cell), HitTarget::timerButton);
    EXPECT_EQ(targetAt(expected, {11 * scale, 11 * scale}, cell), HitTarget::trailingButton);
    EXPECT_EQ(layOut(total, {63, 12}, metrics, ratio).scale, 1);
  }
}

// Points in the cell's coordinates; what is drawn is centred in the cell on whole points.
TEST_F(StatusItemLayout, HitTestsFollowTheFormDrawn) {
  using enum HitTarget;
  const struct {
    DisplayState state;
    Size cell;
    platform::Point point;
    HitTarget target;
  } table[] = {
      // Half a point to spare on the left, rounded down: the row starts at 0.
      {placeholder, {64, 22}, {0.99, 11}, none},
      {placeholder, {64, 22}, {2, 3}, timerButton},
      {placeholder, {64, 22}, {60.99, 18.99}, trailingButton},
      {placeholder, {64, 22}, {30, 19}, none},  // below the row
      {total, {32, 24}, {16, 11.99}, timerButton},
      {total, {32, 24}, {16, 12}, trailingButton},
      {signIn, {22, 22}, {1, 1}, trailingButton},  // the words alone fill the cell
  };
  for (const auto& row : table) {
    SCOPED_TRACE(::testing::Message() << row.point.x << ',' << row.point.y);
    EXPECT_EQ(targetAt(layOutFor(row.state, row.cell), row.point, row.cell), row.target);
  }
}

}  // namespace
}  // namespace pellmor
