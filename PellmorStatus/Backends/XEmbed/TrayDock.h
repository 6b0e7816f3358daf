#pragma once

#include "Backends/BackendLayer.h"

#include <chrono>
#include <functional>
#include <optional>

#include "Backends/XEmbed/TrayCell.h"

namespace pellmor::xembed {

// What the dock asks of the X server and the widget. The tray button implements it on xcb and Qt; the
// tests implement it with a fake that records the calls and runs the timers when told.
class TrayPort {
 public:
  virtual ~TrayPort() = default;
  // Sends the dock request to the current manager; false when no tray runs.
  virtual bool requestDock() = 0;
  // Asks the X server again which window manages the tray (a change can come unannounced).
  virtual void lookUpManager() = 0;
  // Unmaps the window where it is and gives it the item's own size again, for the next tray.
  virtual void withdraw() = 0;
  // Also puts the window back on the root window, so the tray drops the item's slot.
  virtual void withdrawToRoot() = 0;
  // A new native window in place of one the X server destroyed.
  virtual void recreateWindow() = 0;
  // Shows the widget in the tray that has embedded and mapped it.
  virtual void showInTray() = 0;
  // Lays the content into the part of the window that the tray shows.
  virtual void fitCell(PixelRect cell) = 0;
  // Whether the window holding the item is viewable, opaque and on a screen: a proxy's hidden window is not.
  virtual bool trayWindowOnScreen() = 0;
  // The cell the dock reports has changed (it has settled, or the item left the tray).
  virtual void cellChanged() = 0;
  // Runs the task after the delay on the main thread.
  virtual void after(std::chrono::milliseconds delay, std::function<void()> task) = 0;
};

// The states of the item's window on its way into a tray and out again.
enum class DockState {
  disabled,        // another front end shows the item: the window is out of every tray
  waitingForTray,  // no tray manager runs
  requested,       // asked the manager to dock; asked again, less and less often, until it takes the window
  backingOff,      // the tray handed the window back or lost it: asked again after a growing delay
  taken,           // the tray reparented the window; waiting for its "embedded" notice or its map
  settling,        // shown in the tray, whose geometry still changes
  settled,         // shown, and the tray's geometry has been quiet for a moment: the cell is known
};

// What the dock knows of the tray's cell once it has settled on it.
struct SettledCell {
  PixelRect cell;         // the part of the window the tray shows, in the window's coordinates
  bool onScreen = false;  // whether the tray's window is viewable on a screen at all
  friend bool operator==(const SettledCell&, const SettledCell&) = default;
};

// The item's way into the system tray (freedesktop System Tray protocol over XEmbed) as a state machine:
// one function per event that the X server or the front end reports, every action through the port.
// Everything the tray or another X client sends is taken as a claim: a window handed straight back, a
// slot destroyed with the item inside or a silent tray never make it loop, lose the item or leave it
// hidden in a tray.
class TrayDock {
 public:
  // Docking starts disabled: the front end enables it once it has chosen the tray.
  explicit TrayDock(TrayPort& port) : port_(port) {}

  DockState state() const { return state_; }
  // The settled cell while the item is in a tray; nothing before the tray has settled on it.
  std::optional<SettledCell> settledCell() const;
  // Whether the item sits in a tray (shown or on its way).
  bool inTray() const;

  void setEnabled(bool enabled, bool trayPresent);
  // A tray manager appeared, was replaced or went away (checked against the selection's owner).
  void managerChanged(bool present);
  // The window was reparented: into a tray's window, or back onto the root window.
  void reparented(bool toRoot, PixelRect window, PixelSize parent);
  // The window was mapped (by the tray, or by the X server when a tray exited).
  void mapped();
  // The tray's XEmbed "embedded" notice.
  void embeddedNotice();
  // The window's own geometry changed (position in its parent, size).
  void windowConfigured(PixelRect window);
  // The slot that holds the window changed its size.
  void slotResized(PixelSize slot);
  // The X server destroyed the window (a tray destroyed its slot with the item inside).
  void windowDestroyed();

  // Delays, as the tests see them.
  static constexpr std::chrono::milliseconds firstRetryDelay{500};
  static constexpr std::chrono::milliseconds longestRetryDelay{30000};
  // How long the tray's geometry must stay still before the cell counts as settled.
  static constexpr std::chrono::milliseconds settleDelay{500};

 private:
  void enter(DockState state);
  void requestNow();
  void scheduleRetry();
  void backOff();
  void embed();
  void geometryChanged();
  void settle();
  std::chrono::milliseconds nextDelay();
  // Runs the task later unless the state has moved on meanwhile.
  void inThisState(std::chrono::milliseconds delay, std::function<void()> task);

  TrayPort& port_;
  DockState state_ = DockState::disabled;
  int epoch_ = 0;     // counts state entries: a timer of an earlier state lapses
  int attempts_ = 0;  // dock requests or hand-backs since the last success: the delay doubles with each
  bool onRoot_ = true;  // the window sits directly on the root window
  PixelRect window_;
  PixelSize slot_;
  std::optional<SettledCell> settled_;
};

}  // namespace pellmor::xembed
