#include "StatusItem.h"

#include <cassert>
#include <utility>

#include "StatusItemDisplay.h"
#include "StatusItemLayout.h"
#include "Support/Output.h"

namespace pellmor {

using platform::HitTarget;
using platform::Point;
using platform::RenderDescription;
using platform::Size;

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

  RenderDescription render() const { return layOutRow(state_, metrics()); }

  RenderDescription render(Size cell, double pixelRatio) const {
    return layOut(state_, cell, metrics(), pixelRatio);
  }

  HitTarget hitTest(Point point) const { return hitTest(point, rowSizeFor(state_.trailing), 1); }

  HitTarget hitTest(Point point, Size cell, double pixelRatio) const {
    return targetAt(render(cell, pixelRatio), point, cell);
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
    state_.imageName = imageNameFor(fifo);
    state_.trailing = trailingContentFor(fifo);
    rebuilding_ = true;
    rebuildLabel(fifo);
    rebuilding_ = false;
    state_.text = shownText();
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
    // During a rebuild the rebuild itself takes the text and reports the change once.
    if (rebuilding_) return;
    state_.text = shownText();
    notifyDisplayChange();
  }

  void publishSize(Size size) {
    if (lastPublishedSize_ == size) return;
    lastPublishedSize_ = size;
    sizePassthrough_->send(size);
  }

  const platform::TextMetrics& metrics() const {
    assert(environment_.textMetrics != nullptr && "the content is drawn only with the backend's metrics");
    return *environment_.textMetrics;
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

platform::RenderDescription StatusItem::render(platform::Size cell, double pixelRatio) const {
  return impl_->render(cell, pixelRatio);
}

platform::HitTarget StatusItem::hitTest(platform::Point point) const {
  return impl_->hitTest(point);
}

platform::HitTarget StatusItem::hitTest(platform::Point point, platform::Size cell, double pixelRatio) const {
  return impl_->hitTest(point, cell, pixelRatio);
}

bool StatusItem::click(platform::Point point) {
  return run(hitTest(point));
}

bool StatusItem::click(platform::Point point, platform::Size cell, double pixelRatio) {
  return run(hitTest(point, cell, pixelRatio));
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
