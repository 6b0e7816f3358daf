#include "StatusItemLayout.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>

#include "StatusItemButtonStyle.h"

namespace pellmor {
namespace {

using platform::condensedStretch;
using platform::CornerRadii;
using platform::Form;
using platform::HitTarget;
using platform::makeRect;
using platform::normalStretch;
using platform::Point;
using platform::Rect;
using platform::RenderDescription;
using platform::Size;
using platform::TextExtent;
using platform::TextLine;
using platform::TextMetrics;

// The row, in points.
constexpr double rowPadding = 2;  // leading and trailing edges of the row
constexpr double rowHeight = 16;
constexpr double timerButtonWidth = 20;
constexpr double signedInTrailingWidth = 39;
constexpr double signedOutTrailingWidth = 52;
constexpr double labelPadding = 2;  // around the elapsed time inside the trailing segment
constexpr double cornerRadius = 2;
constexpr int rowFontSize = 11;

// The timer artwork is 20 x 16 points; its glyph takes the middle 8 points of its height.
constexpr double artWidth = 20;
constexpr double artHeight = 16;
constexpr double glyphHeight = 8;

constexpr int smallestRowFont = 8;  // a squeezed row below this gives way to another form
constexpr double smallestRowHeight = glyphHeight + 2;
constexpr double smallestTrailingWidth = 24;
constexpr int smallestFont = 5;         // the square forms draw no text below this
constexpr double legibleInkHeight = 7;  // digits lower than this are hard to read at a glance

constexpr const char* segmentColour = "StatusItemBackground";
constexpr const char* buttonColour = "TimerButtonBackground";
constexpr const char* textColour = "white";
constexpr const char* placeholderText = "-:--";

bool isEmpty(const Rect& rect) {
  return rect.width() <= 0 || rect.height() <= 0;
}

bool contains(const Rect& rect, Point point) {
  return point.x >= rect.origin.x && point.x < rect.origin.x + rect.width() && point.y >= rect.origin.y &&
         point.y < rect.origin.y + rect.height();
}

// The largest whole size in [smallest, largest] for which `fits` holds; text grows with its size, so
// bisection finds it with a few measurements.
template <typename Fits>
std::optional<int> largestFitting(int smallest, int largest, Fits fits) {
  if (largest < smallest || !fits(smallest)) return std::nullopt;
  while (smallest < largest) {
    const int middle = smallest + (largest - smallest + 1) / 2;
    if (fits(middle)) {
      smallest = middle;
    } else {
      largest = middle - 1;
    }
  }
  return smallest;
}

void dropLastCharacter(std::string& text) {
  // UTF-8 continuation bytes (10xxxxxx) belong to the character before them.
  while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
    text.pop_back();
  if (!text.empty()) text.pop_back();
}

// The text, or as much of it as fits the width followed by an ellipsis.
std::string elided(std::string text, double width, int size, const TextMetrics& metrics) {
  if (metrics.measure(text, size).advance <= width) return text;
  const std::string ellipsis = "\u2026";
  while (!text.empty()) {
    dropLastCharacter(text);
    if (metrics.measure(text + ellipsis, size).advance <= width) return text + ellipsis;
  }
  return ellipsis;
}

// A line centred in the frame by its advance and its font's line, as a label centres its text.
TextLine centredOnLine(std::string text, int size, const Rect& frame, const TextMetrics& metrics) {
  const TextExtent extent = metrics.measure(text, size);
  const double baseline =
      frame.origin.y + (frame.height() - extent.ascent - extent.descent) / 2 + extent.ascent;
  return TextLine{std::move(text), Point{frame.origin.x + (frame.width() - extent.advance) / 2, baseline}};
}

// A line whose ink is centred horizontally in a cell `width` wide, with the top of its ink at `inkTop`.
TextLine placedByInk(std::string text, const TextExtent& extent, double width, double inkTop) {
  const double left = std::round(width / 2 - extent.ink.origin.x - extent.ink.width() / 2);
  return TextLine{std::move(text), Point{left, inkTop - extent.ink.origin.y}};
}

double trailingWidthFor(TrailingContent trailing) {
  return trailing == TrailingContent::signIn ? signedOutTrailingWidth : signedInTrailingWidth;
}

double labelPaddingFor(TrailingContent trailing) {
  return trailing == TrailingContent::elapsedTime ? labelPadding : 0;
}

// Where the trailing button's text goes: the button is centred in its segment and, styled, takes the
// segment's full height; the elapsed time keeps its padding inside it.
Rect textFrameIn(const Rect& segment, TrailingContent trailing) {
  const double textWidth = segment.width() - 2 * labelPaddingFor(trailing);
  const StatusItemButtonStyle::Body body =
      StatusItemButtonStyle{}.makeBody({.labelSize = Size{textWidth, rowHeight}}, segment.height());
  const double left = segment.origin.x + (segment.width() - body.frame.width()) / 2;
  return makeRect(left, segment.origin.y + body.frame.origin.y, body.frame.width(), body.frame.height());
}

// The row with a trailing segment of the given width, the given height and its text at the given size.
RenderDescription row(const DisplayState& state, double trailingWidth, double height, int fontSize,
                      const TextMetrics& metrics) {
  RenderDescription description;
  description.size = Size{rowPadding + timerButtonWidth + trailingWidth + rowPadding, height};
  description.timerButtonFrame = makeRect(rowPadding, 0, timerButtonWidth, height);
  description.timerButtonCorners = CornerRadii{.topLeading = cornerRadius, .bottomLeading = cornerRadius};
  description.timerButtonBackgroundColour = buttonColour;
  description.imageName = state.imageName;
  // The artwork at its own size, centred in the button: in a lower row only its margins above and below
  // the glyph are cut.
  description.imageFrame =
      makeRect(rowPadding, std::round((height - artHeight) / 2), timerButtonWidth, artHeight);
  description.trailingFrame = makeRect(rowPadding + timerButtonWidth, 0, trailingWidth, height);
  description.trailingCorners = CornerRadii{.bottomTrailing = cornerRadius, .topTrailing = cornerRadius};
  description.trailingBackgroundColour = segmentColour;
  description.text = state.text;
  const Rect frame = textFrameIn(description.trailingFrame, state.trailing);
  description.lines = {
      centredOnLine(elided(state.text, frame.width(), fontSize, metrics), fontSize, frame, metrics)};
  description.fontSize = fontSize;
  description.textColour = textColour;
  return description;
}

// The row in a cell narrower or lower than itself: the coloured segment takes what the timer button
// leaves, the row as much of the cell's height as it has, and the text gets smaller to fit both. Nothing
// when the text would no longer be legible or the glyph would lose its margins.
std::optional<RenderDescription> compactRow(const DisplayState& state, Size cell,
                                            const TextMetrics& metrics) {
  const double height = std::min(rowHeight, std::floor(cell.height));
  const double trailingWidth =
      std::min(trailingWidthFor(state.trailing), cell.width - 2 * rowPadding - timerButtonWidth);
  if (height < smallestRowHeight || trailingWidth < smallestTrailingWidth) return std::nullopt;
  const double textWidth = trailingWidth - 2 * labelPaddingFor(state.trailing);
  const std::optional<int> size = largestFitting(smallestRowFont, rowFontSize, [&](int candidate) {
    const TextExtent extent = metrics.measure(state.text, candidate);
    return extent.advance <= textWidth && extent.ascent + extent.descent <= height;
  });
  if (!size) return std::nullopt;
  RenderDescription description = row(state, trailingWidth, height, *size, metrics);
  description.form = Form::compactRow;
  return description;
}

// The square forms fill the cell with a tile whose corners grow with it, as the row's do with its 16
// points of height.
struct Tile {
  Size cell;
  double radius;
  double sideMargin;  // between the text's ink and the tile's sides
  double gap;         // the least room above, between and below what the tile stacks

  explicit Tile(Size size)
      : cell(size),
        radius(std::max(cornerRadius, size.height / 8)),
        sideMargin(std::max(1.0, std::floor(size.width / 16))),
        gap(std::max(1.0, std::round(size.height / 24))) {}

  double textWidth() const { return cell.width - 2 * sideMargin; }
  CornerRadii allCorners() const { return {radius, radius, radius, radius}; }
};

RenderDescription tileDescription(const DisplayState& state, const Tile& tile, Form form) {
  RenderDescription description;
  description.form = form;
  description.size = tile.cell;
  description.imageName = state.imageName;
  description.timerButtonBackgroundColour = buttonColour;
  description.trailingBackgroundColour = segmentColour;
  description.text = state.text;
  description.textColour = textColour;
  return description;
}

// The placeholder as bars where the font would draw hairlines: a dash, a colon of two dots and two more
// dashes, as thick as a quarter of the text's height and at least two points.
struct PlaceholderBars {
  double thickness;
  double spacing;

  explicit PlaceholderBars(double inkHeight)
      : thickness(std::max(2.0, std::round(inkHeight / 4))),
        spacing(std::max(1.0, std::round(thickness / 2))) {}

  double colonHeight() const { return 2 * thickness + spacing; }
  // Dashes half as long again as they are thick, at the least, so that they read as dashes.
  double leastWidth() const { return 3 * std::ceil(1.5 * thickness) + thickness + 3 * spacing; }

  std::vector<Rect> in(const Rect& box) const {
    const double dash = std::floor((box.width() - thickness - 3 * spacing) / 3);
    const double width = 3 * dash + thickness + 3 * spacing;
    double x = box.origin.x + std::round((box.width() - width) / 2);
    const double colonTop = box.origin.y + std::round((box.height() - colonHeight()) / 2);
    const double dashTop = colonTop + std::round((colonHeight() - thickness) / 2);
    std::vector<Rect> bars;
    const auto bar = [&](double length, double top) {
      bars.push_back(makeRect(x, top, length, thickness));
      x += length + spacing;
    };
    bar(dash, dashTop);
    bars.push_back(makeRect(x, colonTop, thickness, thickness));
    bar(thickness, colonTop + thickness + spacing);
    bar(dash, dashTop);
    bar(dash, dashTop);
    return bars;
  }
};

// What the stacked form puts under the image: the text's ink, or the placeholder's bars.
struct StackedText {
  TextExtent extent;
  double width;
  double height;
};

StackedText stackedTextAt(const DisplayState& state, int size, int stretch, const TextMetrics& metrics) {
  if (state.trailing != TrailingContent::placeholder) {
    const TextExtent extent = metrics.measure(state.text, size, stretch);
    return {extent, extent.ink.width(), extent.ink.height()};
  }
  const TextExtent extent = metrics.measure(placeholderText, size);
  const PlaceholderBars bars(extent.ink.height());
  return {extent, std::max(extent.ink.width(), bars.leastWidth()),
          std::max(extent.ink.height(), bars.colonHeight())};
}

RenderDescription imageAlone(const DisplayState& state, const Tile& tile) {
  RenderDescription description = tileDescription(state, tile, Form::stacked);
  description.timerButtonFrame = makeRect(0, 0, tile.cell.width, tile.cell.height);
  description.timerButtonCorners = tile.allCorners();
  const double scale = std::min(1.0, (tile.cell.height - 2 * tile.gap) / glyphHeight);
  description.imageFrame =
      makeRect(std::round((tile.cell.width - artWidth * scale) / 2),
               std::round((tile.cell.height - artHeight * scale) / 2), artWidth * scale, artHeight * scale);
  description.fontSize = 0;
  return description;
}

// The timer image in a band at the top, the text below it in the coloured band: the text as large as the
// tile allows, then the image as large as the text leaves room for and not much taller than the text, in
// whole multiples of the artwork, so that it is drawn from artwork made for its size.
std::optional<RenderDescription> stacked(const DisplayState& state, const Tile& tile,
                                         const TextMetrics& metrics) {
  const double height = tile.cell.height;
  const auto fitsUnder = [&](double glyph, const StackedText& text) {
    // Room above the image, between it and the text, and below the text.
    return text.width <= tile.textWidth() && glyph + text.height + 3 * tile.gap <= height;
  };
  const auto largestAt = [&](int stretch) {
    return largestFitting(smallestFont, static_cast<int>(height), [&](int candidate) {
      return fitsUnder(glyphHeight, stackedTextAt(state, candidate, stretch, metrics));
    });
  };
  const auto legibleAt = [&](std::optional<int> size, int stretch) {
    return size && stackedTextAt(state, *size, stretch, metrics).height >= legibleInkHeight;
  };
  // A total too wide for a narrow tile (10:00 and more at 22 and 24 pixels, any at 18) is too low to read
  // at the normal width; condensed glyphs make it legible there. Where neither is, the normal width stays:
  // squeezed that small, the glyphs blur. The placeholder is drawn as bars, whatever the font.
  int stretch = normalStretch;
  std::optional<int> size = largestAt(normalStretch);
  if (state.trailing != TrailingContent::placeholder && !legibleAt(size, normalStretch)) {
    if (const std::optional<int> condensed = largestAt(condensedStretch);
        legibleAt(condensed, condensedStretch)) {
      size = condensed;
      stretch = condensedStretch;
    }
  }
  if (!size) return std::nullopt;
  const StackedText text = stackedTextAt(state, *size, stretch, metrics);
  double scale = 1;
  while (glyphHeight * (scale + 1) <= std::max(glyphHeight, 1.25 * text.height) &&
         fitsUnder(glyphHeight * (scale + 1), text))
    ++scale;

  const double glyph = glyphHeight * scale;
  const double boundary = std::round(glyph + (height - glyph - text.height) / 2);
  const double glyphTop = std::round((boundary - glyph) / 2);
  const double textTop = boundary + std::round((height - boundary - text.height) / 2);

  RenderDescription description = tileDescription(state, tile, Form::stacked);
  description.timerButtonFrame = makeRect(0, 0, tile.cell.width, boundary);
  description.timerButtonCorners = CornerRadii{.topLeading = tile.radius, .topTrailing = tile.radius};
  description.imageFrame =
      makeRect(std::round((tile.cell.width - artWidth * scale) / 2),
               glyphTop - (artHeight - glyphHeight) / 2 * scale, artWidth * scale, artHeight * scale);
  description.trailingFrame = makeRect(0, boundary, tile.cell.width, height - boundary);
  description.trailingCorners = CornerRadii{.bottomLeading = tile.radius, .bottomTrailing = tile.radius};
  description.fontSize = *size;
  description.fontStretch = stretch;
  if (state.trailing == TrailingContent::placeholder) {
    const double width = text.width;
    description.marks =
        PlaceholderBars(text.extent.ink.height())
            .in(makeRect(std::round((tile.cell.width - width) / 2), textTop, width, text.height));
  } else {
    description.lines = {placedByInk(state.text, text.extent, tile.cell.width, textTop)};
  }
  return description;
}

// The ways to set a text on lines: whole, or broken at one of its spaces.
std::vector<std::vector<std::string>> lineBreaks(const std::string& text) {
  std::vector<std::vector<std::string>> breaks{{text}};
  for (std::size_t space = text.find(' '); space != std::string::npos; space = text.find(' ', space + 1))
    breaks.push_back({text.substr(0, space), text.substr(space + 1)});
  return breaks;
}

double lineGapAt(int size) {
  return std::max(1.0, std::round(size / 5.0));
}

// The lines' ink stacked with a gap between them.
double blockHeight(const std::vector<TextExtent>& extents, int size) {
  double height = lineGapAt(size) * static_cast<double>(extents.size() - 1);
  for (const TextExtent& extent : extents)
    height += extent.ink.height();
  return height;
}

std::vector<TextExtent> measureLines(const std::vector<std::string>& lines, int size,
                                     const TextMetrics& metrics) {
  std::vector<TextExtent> extents;
  for (const std::string& line : lines)
    extents.push_back(metrics.measure(line, size));
  return extents;
}

// The text alone over the whole tile, on the lines that let it be largest.
std::optional<RenderDescription> textOnly(const DisplayState& state, const Tile& tile,
                                          const TextMetrics& metrics) {
  std::optional<std::pair<int, std::vector<std::string>>> best;
  for (const std::vector<std::string>& lines : lineBreaks(state.text)) {
    const std::optional<int> size =
        largestFitting(smallestFont, static_cast<int>(tile.cell.height), [&](int candidate) {
          const std::vector<TextExtent> extents = measureLines(lines, candidate, metrics);
          const bool narrowEnough =
              std::all_of(extents.begin(), extents.end(),
                          [&](const TextExtent& extent) { return extent.ink.width() <= tile.textWidth(); });
          return narrowEnough && blockHeight(extents, candidate) + 2 * tile.gap <= tile.cell.height;
        });
    if (size && (!best || *size > best->first)) best.emplace(*size, lines);
  }
  if (!best) return std::nullopt;
  const auto& [size, lines] = *best;
  const std::vector<TextExtent> extents = measureLines(lines, size, metrics);

  RenderDescription description = tileDescription(state, tile, Form::textOnly);
  description.trailingFrame = makeRect(0, 0, tile.cell.width, tile.cell.height);
  description.trailingCorners = tile.allCorners();
  description.fontSize = size;
  double inkTop = std::round((tile.cell.height - blockHeight(extents, size)) / 2);
  for (std::size_t index = 0; index < lines.size(); ++index) {
    description.lines.push_back(placedByInk(lines[index], extents[index], tile.cell.width, inkTop));
    inkTop += extents[index].ink.height() + lineGapAt(size);
  }
  return description;
}

// The square form for the state: signed out, the words alone; otherwise the image above the text; the
// image alone where no text fits.
RenderDescription squareForm(const DisplayState& state, Size cell, const TextMetrics& metrics) {
  const Tile tile(cell);
  if (state.trailing == TrailingContent::signIn) {
    if (std::optional<RenderDescription> words = textOnly(state, tile, metrics)) return std::move(*words);
  } else if (std::optional<RenderDescription> withImage = stacked(state, tile, metrics)) {
    return std::move(*withImage);
  }
  return imageAlone(state, tile);
}

}  // namespace

Size rowSizeFor(TrailingContent trailing) {
  return Size{rowPadding + timerButtonWidth + trailingWidthFor(trailing) + rowPadding, rowHeight};
}

RenderDescription layOutRow(const DisplayState& state, const TextMetrics& metrics) {
  return row(state, trailingWidthFor(state.trailing), rowHeight, rowFontSize, metrics);
}

RenderDescription layOut(const DisplayState& state, Size cell, const TextMetrics& metrics,
                         double pixelRatio) {
  if (cell.width >= 2 * cell.height) {
    const Size full = rowSizeFor(state.trailing);
    if (cell.width >= full.width && cell.height >= full.height) return layOutRow(state, metrics);
    if (std::optional<RenderDescription> squeezed = compactRow(state, cell, metrics))
      return std::move(*squeezed);
  }
  const double wholeRatio = std::max(1.0, std::floor(pixelRatio));
  if (pixelRatio <= wholeRatio) return squareForm(state, cell, metrics);
  // The cell in whole units of the whole ratio's pixels; the window may be up to a pixel smaller than
  // its size in whole points says.
  const double scale = wholeRatio / pixelRatio;
  const auto inUnits = [scale](double points) { return std::floor(points / scale + 1e-6); };
  RenderDescription tile = squareForm(state, Size{inUnits(cell.width), inUnits(cell.height)}, metrics);
  tile.scale = scale;
  return tile;
}

HitTarget targetAt(const RenderDescription& description, Point point, Size cell) {
  // The host centres what it draws in the cell, on whole units of the description.
  const Point offset = platform::centringOffset(
      Size{cell.width / description.scale, cell.height / description.scale}, description.size);
  const Point local{point.x / description.scale - offset.x, point.y / description.scale - offset.y};
  if (!isEmpty(description.timerButtonFrame) && contains(description.timerButtonFrame, local))
    return HitTarget::timerButton;
  if (!isEmpty(description.trailingFrame) && contains(description.trailingFrame, local))
    return HitTarget::trailingButton;
  return HitTarget::none;
}

}  // namespace pellmor
