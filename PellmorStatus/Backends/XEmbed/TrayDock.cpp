#include "Backends/XEmbed/TrayDock.h"

#include <algorithm>
#include <utility>

namespace pellmor::xembed {

std::optional<SettledCell> TrayDock::settledCell() const {
  // While a settled tray moves or resizes the slot, its last settled cell stays reported.
  return state_ == DockState::settling || state_ == DockState::settled ? settled_ : std::nullopt;
}

bool TrayDock::inTray() const {
  return state_ == DockState::taken || state_ == DockState::settling || state_ == DockState::settled;
}

void TrayDock::enter(DockState state) {
  state_ = state;
  ++epoch_;
  if (state != DockState::settling && state != DockState::settled && settled_) {
    settled_.reset();
    port_.cellChanged();
  }
}

void TrayDock::inThisState(std::chrono::milliseconds delay, std::function<void()> task) {
  port_.after(delay, [this, epoch = epoch_, task = std::move(task)] {
    if (epoch == epoch_) task();
  });
}

std::chrono::milliseconds TrayDock::nextDelay() {
  const int doublings = std::min(attempts_++, 6);
  return std::min(firstRetryDelay * (1 << doublings), longestRetryDelay);
}

void TrayDock::setEnabled(bool enabled, bool trayPresent) {
  if (enabled == (state_ != DockState::disabled)) return;
  if (!enabled) {
    enter(DockState::disabled);
    // Also out of a tray that still holds the window unmapped (one that was replaced meanwhile).
    if (!onRoot_) port_.withdrawToRoot();
    return;
  }
  attempts_ = 0;
  if (trayPresent) return requestNow();
  enter(DockState::waitingForTray);
}

void TrayDock::managerChanged(bool present) {
  if (state_ == DockState::disabled) return;
  // The old tray is gone (its windows with it) or replaced: the window must not linger where it was.
  if (inTray()) port_.withdraw();
  attempts_ = 0;
  if (present) return requestNow();
  enter(DockState::waitingForTray);
}

void TrayDock::requestNow() {
  if (!port_.requestDock()) return enter(DockState::waitingForTray);
  enter(DockState::requested);
  scheduleRetry();
}

void TrayDock::scheduleRetry() {
  // A tray still setting itself up can drop the request, and one that replaced another while this
  // process started can go unannounced: ask again, less and less often.
  inThisState(nextDelay(), [this] {
    port_.lookUpManager();
    if (!port_.requestDock()) return enter(DockState::waitingForTray);
    ++epoch_;
    scheduleRetry();
  });
}

void TrayDock::backOff() {
  port_.withdraw();
  enter(DockState::backingOff);
  inThisState(nextDelay(), [this] { requestNow(); });
}

void TrayDock::reparented(bool toRoot, PixelRect window, PixelSize parent) {
  window_ = window;
  slot_ = parent;
  onRoot_ = toRoot;
  if (toRoot) {
    // The tray let the window go: it exited, or it hands icons straight back. Never an invisible window on
    // the desktop, and never a tight loop of requests.
    if (inTray()) backOff();
    return;
  }
  switch (state_) {
    case DockState::disabled:
      return port_.withdrawToRoot();  // a tray that docked the item after it was asked to let go
    case DockState::requested:
    case DockState::backingOff:
    case DockState::waitingForTray:
      return enter(DockState::taken);
    case DockState::taken:
    case DockState::settling:
    case DockState::settled:
      return geometryChanged();  // moved from one slot to another of the same tray
  }
}

void TrayDock::mapped() {
  // The X server maps a window again when the tray that held it exits: on the root window it would be an
  // invisible window taking clicks.
  if (onRoot_) return port_.withdraw();
  // A tray that maps the window has taken it in, "embedded" notice or not.
  if (state_ == DockState::taken) embed();
}

void TrayDock::embeddedNotice() {
  if (state_ == DockState::taken) embed();
}

void TrayDock::embed() {
  enter(DockState::settling);
  port_.showInTray();
  geometryChanged();
}

void TrayDock::windowConfigured(PixelRect window) {
  window_ = window;
  if (state_ == DockState::settling || state_ == DockState::settled) geometryChanged();
}

void TrayDock::slotResized(PixelSize slot) {
  slot_ = slot;
  if (state_ == DockState::settling || state_ == DockState::settled) geometryChanged();
}

void TrayDock::geometryChanged() {
  if (state_ == DockState::taken) return;
  port_.fitCell(visibleCell(window_, slot_));
  // A tray lays its slot out in steps after embedding (GNOME's tray: 1 x 1 first): the cell counts once
  // the geometry has been still for a moment. The last settled cell stays reported meanwhile.
  if (state_ == DockState::settled) {
    state_ = DockState::settling;
    ++epoch_;
  }
  inThisState(settleDelay, [this] { settle(); });
}

void TrayDock::settle() {
  const SettledCell cell{visibleCell(window_, slot_), port_.trayWindowOnScreen()};
  const bool changed = settled_ != cell;
  settled_ = cell;
  // The tray kept the item for a while: the next trouble starts the delays afresh.
  attempts_ = 0;
  state_ = DockState::settled;
  ++epoch_;
  if (changed) port_.cellChanged();
}

void TrayDock::windowDestroyed() {
  const bool wasEnabled = state_ != DockState::disabled;
  onRoot_ = true;
  port_.recreateWindow();
  if (!wasEnabled) return;
  // A tray that destroys its slots keeps getting asked, but with growing delays like one that hands the
  // window back.
  enter(DockState::backingOff);
  inThisState(nextDelay(), [this] { requestNow(); });
}

}  // namespace pellmor::xembed
