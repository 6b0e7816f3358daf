#include "Backends/XEmbed/TrayDock.h"

#include <algorithm>
#include <utility>

namespace pellmor::xembed {
namespace {

// More unconfirmed resizes than this cannot be outstanding: the X server answers each at once.
constexpr std::size_t longestPendingResizes = 8;

}  // namespace

std::optional<SettledCell> TrayDock::settledCell() const {
  // While a settled tray moves or resizes the slot, its last settled cell stays reported.
  return shown() ? settled_ : std::nullopt;
}

std::optional<PixelRect> TrayDock::currentCell() const {
  if (!shown()) return std::nullopt;
  return visibleCell(window_, parent_);
}

bool TrayDock::inTray() const {
  return state_ == DockState::taken || shown();
}

bool TrayDock::asksTray() const {
  return state_ == DockState::requested || inTray();
}

void TrayDock::enter(DockState state) {
  state_ = state;
  ++epoch_;
  if (!shown() && settled_) {
    settled_.reset();
    port_.cellChanged();
  }
}

void TrayDock::inThisState(std::chrono::milliseconds delay, std::function<void()> task) {
  port_.after(delay, [this, epoch = epoch_, task = std::move(task)] {
    if (epoch == epoch_) task();
  });
}

std::chrono::milliseconds TrayDock::currentDelay() const {
  // Doubles with each request since the tray last kept the item.
  const int doublings = std::clamp(attempts_ - 1, 0, 6);
  return std::min(firstRetryDelay * (1 << doublings), longestRetryDelay);
}

void TrayDock::setEnabled(bool enabled, bool trayPresent) {
  if (enabled == (state_ != DockState::disabled)) return;
  if (!enabled) {
    enter(DockState::disabled);
    return leaveTray();
  }
  attempts_ = 0;
  if (!trayPresent) return enter(DockState::waitingForTray);
  if (!managerFresh_) return requestNow();
  enter(DockState::managerStarting);
  inThisState(managerStartDelay, [this] { requestNow(); });
}

void TrayDock::managerChanged(bool present) {
  // Remembered while disabled too: the front end may enable docking because this manager appeared.
  managerFresh_ = present;
  port_.after(managerStartDelay, [this, announcement = ++managerAnnouncements_] {
    if (announcement == managerAnnouncements_) managerFresh_ = false;
  });
  if (state_ == DockState::disabled) return;
  // Out of the old tray, which may live on without the selection: left inside, the window would stay there
  // unmapped, and no other tray could take it.
  leaveTray();
  attempts_ = 0;
  if (!present) return enter(DockState::waitingForTray);
  enter(DockState::managerStarting);
  inThisState(managerStartDelay, [this] { requestNow(); });
}

void TrayDock::leaveTray() {
  if (!onRoot_) {
    port_.withdrawToRoot();
    onRoot_ = true;
  } else {
    port_.withdraw();
  }
  // The next tray sees the item's own size, not the slot of the last one.
  given_.reset();
  fitWindowToTray();
}

void TrayDock::requestNow() {
  if (!port_.requestDock()) return enter(DockState::waitingForTray);
  ++attempts_;
  enter(DockState::requested);
  scheduleRetry();
}

void TrayDock::scheduleRetry() {
  // A tray still setting itself up can drop the request, and one that replaced another while this
  // process started can go unannounced: ask again, less and less often.
  inThisState(currentDelay(), [this] {
    const int epoch = epoch_;
    port_.lookUpManager();
    if (epoch != epoch_) return;  // the lookup found another manager: that change has taken over
    requestNow();
  });
}

void TrayDock::backOff() {
  leaveTray();
  enter(DockState::backingOff);
  inThisState(currentDelay(), [this] { requestNow(); });
}

void TrayDock::reparentedIntoTray(PixelRect window, PixelSize parent) {
  onRoot_ = false;
  window_ = window;
  parent_ = parent;
  switch (state_) {
    case DockState::disabled:
      // A tray that docked the item after it was asked to let go.
      port_.withdrawToRoot();
      onRoot_ = true;
      return;
    case DockState::waitingForTray:
    case DockState::managerStarting:
    case DockState::requested:
    case DockState::backingOff:
      enter(DockState::taken);
      // A tray that never maps the window still gets it shown.
      return inThisState(silentTrayDelay, [this] { embed(); });
    case DockState::taken:
      return;
    case DockState::settling:
    case DockState::settled:
      return geometryChanged();  // moved from one slot to another of the same tray
  }
}

void TrayDock::reparentedToRoot() {
  onRoot_ = true;
  // The tray let the window go: it exited, or it hands icons straight back. Never an invisible window on
  // the desktop, and never a tight loop of requests.
  if (inTray()) backOff();
}

void TrayDock::mapped() {
  // The X server maps a window again when the tray that held it exits: on the root window it would be an
  // invisible window taking clicks.
  if (onRoot_) return port_.withdraw();
  // A tray that maps the window has taken it in, "embedded" notice or not.
  if (state_ == DockState::taken) embed();
}

void TrayDock::embed() {
  enter(DockState::settling);
  fitWindowToTray();  // before showing: the widget would otherwise put its own size back
  port_.showInTray();
  geometryChanged();
}

void TrayDock::setOwnSize(PixelSize size) {
  const bool changed = size != own_;
  own_ = size;
  fitWindowToTray();
  if (!shown()) return;
  // A new size is settled afresh: the tray's answer to it is still to come.
  if (changed) return geometryChanged();
  // The item lays its content out at its frame: in a tray it goes back into the cell the tray shows (a
  // slot of the tray's own size sends no notice, so nothing else would put it back).
  port_.fitCell(visibleCell(window_, parent_));
}

PixelSize TrayDock::wantedSize() const {
  if (!given_) return own_;
  return PixelSize{followsWidth_ ? own_.width : given_->width, followsHeight_ ? own_.height : given_->height};
}

void TrayDock::fitWindowToTray() {
  const PixelSize wanted = wantedSize();
  if (wanted == asked_) return;
  asked_ = wanted;
  // The X server reports a resize only when it changes the size. One to the size the window has by then
  // gets no notice; left waiting for one, it would make a later resize by the tray look like its own.
  const PixelSize sizeByThen = pending_.empty() ? PixelSize{window_.width, window_.height} : pending_.back();
  if (wanted == sizeByThen) return port_.takeWindowSize(wanted);
  if (pending_.size() == longestPendingResizes) pending_.pop_front();
  pending_.push_back(wanted);
  port_.resizeWindow(wanted);
}

bool TrayDock::resizedByTray(PixelSize size) {
  // The window is override-redirect: no window manager resizes it. A size this process asked for is its
  // own (its notices come in order); any other comes from the tray.
  const auto own = std::find(pending_.begin(), pending_.end(), size);
  if (own != pending_.end()) {
    pending_.erase(pending_.begin(), own + 1);
    return false;
  }
  return size != asked_;
}

void TrayDock::windowConfigured(PixelRect window) {
  window_ = window;
  const PixelSize size{window.width, window.height};
  if (resizedByTray(size) && asksTray()) {
    // A tray with slots of its own size (or one still laying its slot out). A side it gives as the item
    // asked follows the item's size later on; the other keeps the tray's.
    given_ = size;
    followsWidth_ = size.width == own_.width;
    followsHeight_ = size.height == own_.height;
  }
  if (shown()) geometryChanged();
}

void TrayDock::parentResized(PixelSize parent) {
  parent_ = parent;
  if (shown()) geometryChanged();
}

void TrayDock::geometryChanged() {
  fitWindowToTray();
  const PixelRect cell = visibleCell(window_, parent_);
  port_.fitCell(cell);
  // A tray lays its slot out in steps after embedding (GNOME's tray: 1 x 1 first): the cell counts once
  // the geometry has been still for a moment. The last settled cell stays reported meanwhile.
  state_ = DockState::settling;
  ++epoch_;
  inThisState(isPlaceholder(cell) ? placeholderSettleDelay : settleDelay, [this] { settle(); });
}

bool TrayDock::isPlaceholder(PixelRect cell) const {
  // Measured against the size last asked for, not the window's: the notice of the item's own resize may
  // still be on its way.
  return cell.width <= 1 || cell.height <= 1 || cell.width < asked_.width || cell.height < asked_.height;
}

void TrayDock::settle() {
  const PixelRect cell = visibleCell(window_, parent_);
  const std::optional<PixelRect> part = port_.shownPart(cell);
  const SettledCell now{part.value_or(cell), part.has_value() && !part->empty()};
  // The tray kept the item for a while: the next trouble starts the delays afresh.
  attempts_ = 0;
  state_ = DockState::settled;
  ++epoch_;
  // The same cell for a new size of the item is news too: a tray that gave the old row its width may not
  // give the new one.
  if (settled_ == now && settledFor_ == own_) return;
  settled_ = now;
  settledFor_ = own_;
  port_.cellChanged();
}

void TrayDock::windowReplaced(PixelSize size) {
  // The old window's resizes still waiting for their notices will never get them, and the new window
  // has the size Qt made it with, which may be the last tray's slot. Told to the X server before the next
  // request: a tray that finds the window at its slot's size resizes nothing, and a late resize of the
  // window's own would then shrink it inside the slot.
  onRoot_ = true;
  given_.reset();
  pending_.clear();
  window_ = PixelRect{0, 0, size.width, size.height};
  asked_ = size;
  fitWindowToTray();
}

void TrayDock::windowDestroyed() {
  port_.recreateWindow();
  if (state_ == DockState::disabled) return;
  // A tray that destroys its slots keeps getting asked, but with growing delays like one that hands the
  // window back.
  enter(DockState::backingOff);
  inThisState(currentDelay(), [this] { requestNow(); });
}

}  // namespace pellmor::xembed
