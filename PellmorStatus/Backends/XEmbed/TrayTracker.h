#pragma once

#include "Backends/BackendLayer.h"

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "Backends/XEmbed/X11Window.h"

class QImage;

namespace pellmor::xembed {

// Everything the desktop backend knows about the system tray (freedesktop System Tray protocol over
// XEmbed): which window manages the tray of the default screen, when a manager appears or goes away, and
// when a window of ours has been embedded. The one place that talks to the tray manager.
class TrayTracker : public QAbstractNativeEventFilter {
 public:
  // What happens to one of our windows.
  struct Listener {
    std::function<void()> trayChanged;   // a manager appeared or went away; ask to dock again
    std::function<void()> embedded;      // the tray took the window in
    std::function<void()> resized;       // the window or the slot it sits in changed its geometry
    std::function<void()> orphaned;      // the window was put back on the root window (its tray exited)
    std::function<void()> mappedOnRoot;  // the window was mapped while it sits on the root window
  };

  // Installs itself as a native event filter of the running QGuiApplication.
  TrayTracker();
  ~TrayTracker() override;
  TrayTracker(const TrayTracker&) = delete;
  TrayTracker& operator=(const TrayTracker&) = delete;

  // The current manager window, or 0 when no tray runs.
  WindowId manager() const { return manager_; }
  // Whether the manager offers a visual with an alpha channel for its icons.
  bool managerVisualHasAlpha() const;

  // Asks the current manager to embed the window; false when no tray runs.
  bool requestDock(WindowId window) const;
  // Asks the X server again which window manages the tray, for a change that came unannounced (a manager
  // that replaced another while this process was starting).
  void lookUpManager();

  void addListener(WindowId window, Listener listener);
  void removeListener(WindowId window);
  // Reports geometry changes of the slot that now holds the listener's window as its own.
  void watchSlot(WindowId window, WindowId slot);

  // What the tray shows behind a docked window, at the window's place; null when it cannot be read, or
  // not yet: before the tray has laid out and shown the window's slot.
  QImage backgroundBehind(WindowId window) const;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  void setManager(WindowId window);
  void announceTrayChange();
  void announceEmbedding(WindowId window);
  void announceResize(WindowId window);
  void announceReparent(WindowId window, WindowId parent);
  void announceMap(WindowId window);

  std::uint32_t selectionAtom_ = 0;
  std::uint32_t managerAtom_ = 0;
  std::uint32_t opcodeAtom_ = 0;
  std::uint32_t visualAtom_ = 0;
  std::uint32_t xembedAtom_ = 0;
  WindowId root_ = 0;
  WindowId manager_ = 0;
  std::map<WindowId, Listener> listeners_;
  std::map<WindowId, WindowId> slots_;  // slot window -> the listener's window in it
};

}  // namespace pellmor::xembed
