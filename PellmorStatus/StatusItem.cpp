#include "StatusItem.h"

#include <utility>

#include "StatusItemButtonStyle.h"
#include "Support/Output.h"

namespace pellmor {
namespace {

using platform::CornerRadii;
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

bool contains(const Rect& rect, Point point) {
  return point.x >= rect.origin.x && point.x < rect.origin.x + rect.width() && point.y >= rect.origin.y &&
         point.y < rect.origin.y + rect.height();
}

}  // namespace

class StatusItem::Impl {
 public:
  Impl(Environment environment, std::shared_ptr<SizeSubject> sizePassthrough)
      : environment_(std::move(environment)), sizePassthrough_(std::move(sizePassthrough)) {
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

  RenderDescription render() const {
    const TrailingContent trailing = state_.trailing;
    RenderDescription description;
    description.size = rowSizeFor(trailing);
    description.timerButtonFrame = timerButtonFrame();
    description.timerButtonCorners = CornerRadii{.topLeading = cornerRadius, .bottomLeading = cornerRadius};
    description.imageName = state_.imageName;
    description.trailingFrame = trailingFrameFor(trailing);
    description.trailingCorners = CornerRadii{.bottomTrailing = cornerRadius, .topTrailing = cornerRadius};
    description.trailingBackgroundColour = "StatusItemBackground";
    description.text = shownText();
    description.textFrame = textFrameFor(trailing);
    description.fontSize = fontSize;
    description.textColour = "white";
    return description;
  }

  HitTarget hitTest(Point point) const {
    if (contains(timerButtonFrame(), point)) return HitTarget::timerButton;
    if (contains(trailingFrameFor(state_.trailing), point)) return HitTarget::trailingButton;
    return HitTarget::none;
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

platform::HitTarget StatusItem::hitTest(platform::Point point) const {
  return impl_->hitTest(point);
}

bool StatusItem::click(platform::Point point) {
  switch (hitTest(point)) {
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
