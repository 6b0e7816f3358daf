#include "StatusItem.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "StatusItemButtonStyle.h"
#include "Support/Output.h"

namespace pellmor {
namespace {

using platform::CornerRadii;
using platform::Form;
using platform::HitTarget;
using platform::makeRect;
using platform::Point;
using platform::Rect;
using platform::RenderDescription;
using platform::Size;

// Layout of the row, in points.
constexpr double rowPadding = 2;  // leading and trailing edges of the row
constexpr double rowHeight = 16;
constexpr double timerButtonWidth = 20;
constexpr double signedInTrailingWidth = 39;
constexpr double signedOutTrailingWidth = 52;
constexpr double labelPadding = 2;  // around the elapsed time inside the trailing segment
constexpr double cornerRadius = 2;
constexpr double fontSize = 11;

// The compact forms. The core has no font metrics, so a text's width is estimated from its character
// count at an average advance that covers the usual sans-serif texts shown ("1:06" is 2.25 em in DejaVu
// Sans, "Sign In" 3.43 em).
constexpr double averageAdvance = 0.6;  // em per character
constexpr double smallestLegibleFont = 8;
constexpr double smallestFont = 6;  // a time too long for the cell still shows, smaller, before being cut
constexpr double smallestTrailingWidth = 24;
constexpr double smallestCellWithText = 22;  // below this a stacked cell shows the timer image alone
constexpr double stackedImageShare = 0.45;   // of a stacked cell's height, above the text
constexpr double lineHeight = 1.25;          // em, for a text broken onto two lines

enum class TrailingContent { signIn, placeholder, elapsedTime };

// What the last rebuild selected; the defaults are those of a fresh channel.
struct DisplayState {
  std::string imageName = "PlayButton";
  TrailingContent trailing = TrailingContent::placeholder;
};

std::string imageNameFor(const FIFOManager& channel) {
  if (!channel.timerStartedAt()) return "PlayButton";
  return channel.timestampsMode() ? "StopButton" : "PauseButton";
}

TrailingContent trailingContentFor(const FIFOManager& channel) {
  if (!channel.authenticated()) return TrailingContent::signIn;
  return channel.hoursWithoutTimer() ? TrailingContent::elapsedTime : TrailingContent::placeholder;
}

ElapsedTimeLabel::Inputs labelInputsFor(const FIFOManager& channel) {
  return ElapsedTimeLabel::Inputs{channel.timerStartedAt(), channel.hoursWithoutTimer().value_or(0),
                                  channel.timeFormat(), channel.decimalSymbol()};
}

double trailingWidthFor(TrailingContent trailing) {
  return trailing == TrailingContent::signIn ? signedOutTrailingWidth : signedInTrailingWidth;
}

Size rowSizeFor(TrailingContent trailing) {
  return Size{rowPadding + timerButtonWidth + trailingWidthFor(trailing) + rowPadding, rowHeight};
}

Rect timerButtonFrame() {
  return makeRect(rowPadding, 0, timerButtonWidth, rowHeight);
}

Rect trailingFrameFor(TrailingContent trailing) {
  return makeRect(rowPadding + timerButtonWidth, 0, trailingWidthFor(trailing), rowHeight);
}

// Where the trailing button's text goes: the button is centred in its segment and, styled, takes the
// segment's full height; the elapsed time keeps its padding inside it.
Rect textFrameFor(TrailingContent trailing) {
  const Rect segment = trailingFrameFor(trailing);
  const double padding = trailing == TrailingContent::elapsedTime ? labelPadding : 0;
  const double textWidth = segment.width() - 2 * padding;
  const StatusItemButtonStyle::Body body =
      StatusItemButtonStyle{}.makeBody({.labelSize = Size{textWidth, rowHeight}}, segment.height());
  const double left = segment.origin.x + (segment.width() - body.frame.width()) / 2;
  return makeRect(left, segment.origin.y + body.frame.origin.y, body.frame.width(), body.frame.height());
}

std::size_t characterCount(std::string_view text) {
  // UTF-8 continuation bytes (10xxxxxx) start no character.
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
}

// The largest whole pixel size, at most `largest`, at which the text is estimated to fit the width.
double fittingFontSize(std::string_view text, double width, double largest) {
  const std::size_t characters = std::max<std::size_t>(characterCount(text), 1);
  // The small allowance keeps an exact fit (24 / 2.4) from rounding down to the size below.
  return std::floor(std::min(largest, width / (static_cast<double>(characters) * averageAdvance)) + 1e-9);
}

std::string_view longestWord(std::string_view text) {
  std::string_view longest;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(' '), text.size());
    if (end > longest.size()) longest = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return longest;
}

constexpr CornerRadii allCorners{cornerRadius, cornerRadius, cornerRadius, cornerRadius};

RenderDescription fullRow(TrailingContent trailing) {
  RenderDescription description;
  description.size = rowSizeFor(trailing);
  description.timerButtonFrame = timerButtonFrame();
  description.timerButtonCorners = CornerRadii{.topLeading = cornerRadius, .bottomLeading = cornerRadius};
  description.trailingFrame = trailingFrameFor(trailing);
  description.trailingCorners = CornerRadii{.bottomTrailing = cornerRadius, .topTrailing = cornerRadius};
  description.textFrame = textFrameFor(trailing);
  description.fontSize = fontSize;
  return description;
}

// The row in a cell narrower than the content: the coloured segment takes what the timer button leaves,
// and the text gets smaller to fit it. Nothing when the text could no longer be read.
std::optional<RenderDescription> compactRow(TrailingContent trailing, std::string_view text, Size cell) {
  const double trailingWidth = cell.width - 2 * rowPadding - timerButtonWidth;
  if (cell.height < rowHeight || trailingWidth < smallestTrailingWidth) return std::nullopt;
  const double padding = trailing == TrailingContent::elapsedTime ? labelPadding : 0;
  const double size = fittingFontSize(text, trailingWidth - 2 * padding, fontSize);
  if (size < smallestLegibleFont) return std::nullopt;
  RenderDescription description = fullRow(trailing);
  description.form = Form::compactRow;
  description.size = Size{cell.width, rowHeight};
  description.trailingFrame = makeRect(rowPadding + timerButtonWidth, 0, trailingWidth, rowHeight);
  description.textFrame =
      makeRect(rowPadding + timerButtonWidth + padding, 0, trailingWidth - 2 * padding, rowHeight);
  description.fontSize = size;
  return description;
}

// A small cell, filled: the coloured background, the timer image scaled to fit at the top and the text
// below it; the image alone where the text could not be read; the text alone, broken at its spaces, where
// it is too long for one line under the image.
RenderDescription stacked(std::string_view text, Size cell) {
  RenderDescription description;
  description.form = Form::stacked;
  description.size = cell;
  description.imageFitted = true;
  description.trailingFrame = makeRect(0, 0, cell.width, cell.height);
  description.trailingCorners = allCorners;
  if (cell.height < smallestCellWithText) {
    description.timerButtonFrame = description.trailingFrame;
    description.timerButtonCorners = allCorners;
    description.fontSize = 0;
    return description;
  }
  const double imageHeight = std::round(cell.height * stackedImageShare);
  const double textHeight = cell.height - imageHeight;
  const double oneLine = fittingFontSize(text, cell.width, std::floor(textHeight / lineHeight));
  const double twoLines =
      fittingFontSize(longestWord(text), cell.width, std::floor(cell.height / (2 * lineHeight)));
  if (oneLine < smallestLegibleFont && text.find(' ') != std::string_view::npos &&
      twoLines >= smallestLegibleFont) {
    description.textFrame = description.trailingFrame;
    description.textWraps = true;
    description.fontSize = twoLines;
    return description;
  }
  description.timerButtonFrame = makeRect(0, 0, cell.width, imageHeight);
  description.timerButtonCorners = CornerRadii{.topLeading = cornerRadius, .topTrailing = cornerRadius};
  description.textFrame = makeRect(0, imageHeight, cell.width, textHeight);
  description.fontSize = std::max(oneLine, smallestFont);
  return description;
}

bool holdsFullRow(Size cell, TrailingContent trailing) {
  const Size row = rowSizeFor(trailing);
  return cell.width >= row.width && cell.height >= row.height;
}

bool contains(const Rect& rect, Point point) {
  return point.x >= rect.origin.x && point.x < rect.origin.x + rect.width() && point.y >= rect.origin.y &&
         point.y < rect.origin.y + rect.height();
}

}  // namespace

class StatusItem::Impl {
 public:
  Impl(Environment environment, std::shared_ptr<SizeSubject> sizePassthrough)
      : environment_(std::move(environment)), sizePassthrough_(std::move(sizePassthrough)) {
    if (!environment_.channel) environment_.channel = []() -> FIFOManager& { return FIFOManager::shared(); };
    if (!environment_.translate)
      environment_.translate = [](std::string_view text) { return std::string(text); };
  }

  void install(std::weak_ptr<Impl> self, std::function<void()> onDisplayChange) {
    onDisplayChange_ = std::move(onDisplayChange);
    // Each signal only notes that a rebuild is due; the rebuild reads the values when it runs.
    changes_ = channel().objectWillChange().subscribe([this, self] { scheduleRebuild(self); });
    rebuild(SizePublication::deferred);
    // The host installs its content before its owner subscribes to the size, so the first layout pass,
    // which measures and publishes, runs on the main thread's next turn.
    scheduleRebuild(self);
  }

  FIFOManager& channel() {
    if (!channel_) channel_ = &environment_.channel();
    return *channel_;
  }

  RenderDescription render() const { return render(rowSizeFor(state_.trailing)); }

  RenderDescription render(Size cell) const {
    const TrailingContent trailing = state_.trailing;
    const std::string text = shownText();
    RenderDescription description;
    if (holdsFullRow(cell, trailing)) {
      description = fullRow(trailing);
    } else if (std::optional<RenderDescription> row = compactRow(trailing, text, cell)) {
      description = *row;
    } else {
      description = stacked(text, cell);
    }
    description.imageName = state_.imageName;
    description.trailingBackgroundColour = "StatusItemBackground";
    description.text = text;
    description.textColour = "white";
    return description;
  }

  HitTarget hitTest(Point point) const { return hitTest(point, rowSizeFor(state_.trailing)); }

  HitTarget hitTest(Point point, Size cell) const {
    const RenderDescription description = render(cell);
    // The host centres what it draws in the cell.
    const Point local{point.x - (cell.width - description.size.width) / 2,
                      point.y - (cell.height - description.size.height) / 2};
    if (contains(description.timerButtonFrame, local)) return HitTarget::timerButton;
    if (contains(description.trailingFrame, local)) return HitTarget::trailingButton;
    return HitTarget::none;
  }

  std::vector<platform::MenuEntry> menu() const {
    return {{environment_.translate("Toggle Timer"), HitTarget::timerButton},
            {environment_.translate("Show or Hide Pellmor"), HitTarget::trailingButton}};
  }

  const ElapsedTimeLabel* label() const { return label_.get(); }

 private:
  void scheduleRebuild(const std::weak_ptr<Impl>& self) {
    if (rebuildScheduled_) return;
    rebuildScheduled_ = true;
    environment_.mainThread->post([self] {
      if (auto impl = self.lock()) impl->runScheduledRebuild();
    });
  }

  void runScheduledRebuild() {
    rebuildScheduled_ = false;
    rebuild();
  }

  enum class SizePublication { now, deferred };

  void rebuild(SizePublication publication = SizePublication::now) {
    FIFOManager& fifo = channel();
    state_ = DisplayState{imageNameFor(fifo), trailingContentFor(fifo)};
    rebuilding_ = true;
    rebuildLabel(fifo);
    rebuilding_ = false;
    if (publication == SizePublication::now) publishSize(rowSizeFor(state_.trailing));
    notifyDisplayChange();
  }

  // The label and its text live while the elapsed time stays on show; a label shown anew starts over.
  void rebuildLabel(const FIFOManager& fifo) {
    if (state_.trailing != TrailingContent::elapsedTime) {
      label_.reset();
      return;
    }
    if (label_) {
      label_->update(labelInputsFor(fifo));
      return;
    }
    label_ = std::make_unique<ElapsedTimeLabel>(labelInputsFor(fifo), *environment_.clock,
                                                *environment_.tickers, [this] { labelTextChanged(); });
    label_->appear();
  }

  void labelTextChanged() {
    // During a rebuild the rebuild itself reports the change once.
    if (!rebuilding_) notifyDisplayChange();
  }

  void publishSize(Size size) {
    if (lastPublishedSize_ == size) return;
    lastPublishedSize_ = size;
    sizePassthrough_->send(size);
  }

  void notifyDisplayChange() {
    if (onDisplayChange_) onDisplayChange_();
  }

  std::string shownText() const {
    switch (state_.trailing) {
      case TrailingContent::signIn:
        return environment_.translate("Sign In");
      case TrailingContent::placeholder:
        return environment_.translate("-:--");
      case TrailingContent::elapsedTime:
        return label_ ? label_->elapsedTime() : std::string("0:00");
    }
    return {};
  }

  Environment environment_;
  std::shared_ptr<SizeSubject> sizePassthrough_;
  FIFOManager* channel_ = nullptr;
  std::function<void()> onDisplayChange_;
  DisplayState state_;
  std::optional<Size> lastPublishedSize_;
  bool rebuildScheduled_ = false;
  bool rebuilding_ = false;
  std::unique_ptr<ElapsedTimeLabel> label_;
  Subscription changes_;  // last: no signal reaches a half-destroyed content
};

StatusItem::StatusItem(Environment environment, std::shared_ptr<SizeSubject> sizePassthrough)
    : impl_(std::make_shared<Impl>(std::move(environment), std::move(sizePassthrough))) {}

StatusItem::~StatusItem() = default;

void StatusItem::install(std::function<void()> onDisplayChange) {
  impl_->install(impl_, std::move(onDisplayChange));
}

platform::RenderDescription StatusItem::render() const {
  return impl_->render();
}

platform::RenderDescription StatusItem::render(platform::Size cell) const {
  return impl_->render(cell);
}

platform::HitTarget StatusItem::hitTest(platform::Point point) const {
  return impl_->hitTest(point);
}

platform::HitTarget StatusItem::hitTest(platform::Point point, platform::Size cell) const {
  return impl_->hitTest(point, cell);
}

bool StatusItem::click(platform::Point point) {
  return run(hitTest(point));
}

bool StatusItem::click(platform::Point point, platform::Size cell) {
  return run(hitTest(point, cell));
}

std::vector<platform::MenuEntry> StatusItem::menu() const {
  return impl_->menu();
}

void StatusItem::activate(platform::HitTarget target) {
  run(target);
}

bool StatusItem::run(platform::HitTarget target) {
  switch (target) {
    case HitTarget::timerButton:
      toggleTimerAction();
      return true;
    case HitTarget::trailingButton:
      toggleMainAppAction();
      return true;
    case HitTarget::none:
      return false;
  }
  return false;
}

void StatusItem::toggleTimerAction() {
  printLine("Toggling timer");
  impl_->channel().sendToggleTimerMessage();
}

void StatusItem::toggleMainAppAction() {
  printLine("Toggling main app");
  impl_->channel().sendToggleAppMessage();
}

const ElapsedTimeLabel* StatusItem::label() const {
  return impl_->label();
}

}  // namespace pellmor
