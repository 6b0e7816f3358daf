#pragma once

#include "Backends/BackendLayer.h"

#include <chrono>
#include <deque>
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
  // Asks the X server again which window manages the tray (a change can come unannounced); a change is
  // reported to the dock before this returns.
  virtual void lookUpManager() = 0;
  // Unmaps the window where it is.
  virtual void withdraw() = 0;
  // Unmaps the window and puts it back on the root window, so the tray drops the item's slot.
  virtual void withdrawToRoot() = 0;
  // A new native window in place of one the X server destroyed, at the item's own size; reported back
  // through windowReplaced.
  virtual void recreateWindow() = 0;
  // Shows the widget in the tray that has taken it in.
  virtual void showInTray() = 0;
  // Gives the window (and the widget) this size.
  virtual void resizeWindow(PixelSize size) = 0;
  // The widget takes the size the window has on the X server by now (a tray gave it, or a resize of the
  // item's own is on its way) without a request to the X server: one would arrive after the tray's next
  // change and undo it.
  virtual void takeWindowSize(PixelSize size) = 0;
  // Lays the content into the part of the window that the tray shows.
  virtual void fitCell(PixelRect cell) = 0;
  // The part of the cell that the screen really shows: nothing when the window holding the item is
  // unmapped, transparent or off every screen (an XEmbed-to-StatusNotifierItem proxy's hidden window).
  // A panel that auto-hides counts with what it shows when it slides back in: the item may dock while
  // it is out.
  virtual std::optional<PixelRect> shownPart(PixelRect cell) = 0;
  // The settled cell has changed (the tray has settled on a new one, or on the same one after the item
  // changed its size, or the item left the tray).
  virtual void cellChanged() = 0;
  // Runs the task after the delay on the main thread.
  virtual void after(std::chrono::milliseconds delay, std::function<void()> task) = 0;
};

// The states of the item's window on its way into a tray and out again.
enum class DockState {
  disabled,         // another front end shows the item: the window is out of every tray
  waitingForTray,   // no tray manager runs
  managerStarting,  // a manager has just announced itself: asked once it has had a moment
  requested,        // asked the manager to dock; asked again, less and less often, until it takes the window
  backingOff,       // the tray handed the window back or lost it: asked again after a growing delay
  taken,            // the tray reparented the window; waiting for it to map the window
  settling,         // shown in the tray, whose geometry still changes
  settled,          // shown, and the tray's geometry has been quiet for a moment: the cell is known
};

// What the dock knows of the tray's cell once it has settled on it.
struct SettledCell {
  PixelRect cell;      // the part of the window the screen shows, in the window's coordinates
  bool shown = false;  // false: the tray's window is unmapped, transparent or off screen
  friend bool operator==(const SettledCell&, const SettledCell&) = default;
};

// The item's way into the system tray (freedesktop System Tray protocol over XEmbed) as a state machine:
// one function per event that the X server or the front end reports, every action through the port.
// Everything a tray or another X client sends is taken as a claim: a window handed straight back, a slot
// destroyed with the item inside, a manager that exits at once or a silent tray never make it loop, lose
// the item or leave it hidden in a tray. Sizes and positions are in device pixels, as X reports them.
class TrayDock {
 public:
  // Docking starts disabled: the front end enables it once it has chosen the tray.
  explicit TrayDock(TrayPort& port) : port_(port) {}

  DockState state() const { return state_; }
  // The last cell the tray settled on while the item is shown in it.
  std::optional<SettledCell> settledCell() const;
  // The part of the window the tray shows now, while the item is shown in a tray.
  std::optional<PixelRect> currentCell() const;

  void setEnabled(bool enabled, bool trayPresent);
  // A manager appeared, was replaced or went away (the selection's owner, not anyone's claim).
  void managerChanged(bool present);
  // The item asks for this size (its content's own, in pixels).
  void setOwnSize(PixelSize size);
  // The window was reparented into a tray's window (at this position, in a parent of that size).
  void reparentedIntoTray(PixelRect window, PixelSize parent);
  // The window was put back on the root window (its tray let it go or exited).
  void reparentedToRoot();
  // The window was mapped (by the tray, or by the X server when a tray exited).
  void mapped();
  // The window's own geometry changed (position in its parent, size).
  void windowConfigured(PixelRect window);
  // The window that holds the item's window changed its size.
  void parentResized(PixelSize parent);
  // The X server destroyed the window (a tray destroyed its slot with the item inside, or exited).
  void windowDestroyed();
  // The item has a new native window, out of every tray, of this size on the X server.
  void windowReplaced(PixelSize size);

  // Delays, as the tests see them.
  static constexpr std::chrono::milliseconds firstRetryDelay{500};
  static constexpr std::chrono::milliseconds longestRetryDelay{30000};
  // A new manager gets the request only after this: one that exits at once (destroying whatever it had
  // embedded) or announces itself twice never gets the window.
  static constexpr std::chrono::milliseconds managerStartDelay{500};
  // A tray that takes the window in but does not map it gets it shown after this. Its XEmbed "embedded"
  // notice is no cue: GTK's sockets send it before they size the slot, and the widget shown then puts
  // its own size back over the slot's.
  static constexpr std::chrono::milliseconds silentTrayDelay{1000};
  // How long the tray's geometry must stay still before the cell counts as settled.
  static constexpr std::chrono::milliseconds settleDelay{500};
  // A slot not laid out yet counts only if the tray keeps it this long: a cell of a pixel (GNOME's tray,
  // which on a busy machine keeps it for seconds), or one smaller than the size the window was last
  // given (a tray that follows the item's size and has not caught up with its change yet: mate-panel on
  // a busy machine). Judged at once, such a cell would take a tray that gives the item its width for one
  // that does not.
  static constexpr std::chrono::milliseconds placeholderSettleDelay{10'000};

 private:
  bool inTray() const;
  bool shown() const { return state_ == DockState::settling || state_ == DockState::settled; }
  bool asksTray() const;
  void enter(DockState state);
  void leaveTray();
  void requestNow();
  void scheduleRetry();
  void backOff();
  void embed();
  void geometryChanged();
  bool isPlaceholder(PixelRect cell) const;
  void settle();
  void fitWindowToTray();
  bool resizedByTray(PixelSize size);
  PixelSize wantedSize() const;
  std::chrono::milliseconds currentDelay() const;
  // Runs the task later unless the state has moved on meanwhile.
  void inThisState(std::chrono::milliseconds delay, std::function<void()> task);

  TrayPort& port_;
  DockState state_ = DockState::disabled;
  int epoch_ = 0;       // counts state entries and restarts: a timer of an earlier one lapses
  int attempts_ = 0;    // dock requests or hand-backs since the tray last kept the item: the delay doubles
  bool onRoot_ = true;  // the window sits directly on the root window
  PixelSize own_;       // what the item asks for
  PixelSize asked_;     // what the window was last given by this process
  // Sizes asked for whose ConfigureNotify has not come yet: those events are this process's own.
  std::deque<PixelSize> pending_;
  // The size a tray gave the window, when not the one asked for (a tray with slots of its own size), and
  // which sides of it follow the item's own size.
  std::optional<PixelSize> given_;
  bool followsWidth_ = false;
  bool followsHeight_ = false;
  PixelRect window_;  // the window's geometry in its parent
  PixelSize parent_;
  bool managerFresh_ = false;  // the manager announced itself less than managerStartDelay ago
  int managerAnnouncements_ = 0;
  std::optional<SettledCell> settled_;
  PixelSize settledFor_;  // the item's own size when the tray settled on that cell
};

}  // namespace pellmor::xembed
