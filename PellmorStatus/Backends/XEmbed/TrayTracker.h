#pragma once

#include "Backends/BackendLayer.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "Backends/XEmbed/X11Window.h"

class QImage;

namespace pellmor::xembed {

// Everything the desktop backend knows about the system tray (freedesktop System Tray protocol over
// XEmbed): which window manages the tray of the default screen, when a manager appears or goes away, and
// when a window of ours has been embedded. The one place that talks to the tray manager. The X server's
// notices reach the listeners after Qt has handled them: a listener that resizes or shows a widget then
// finds Qt's geometry current, and Qt sends no request of its own for a size the window had a moment ago.
class TrayTracker : public QAbstractNativeEventFilter {
 public:
  // What happens to one of our windows, with the geometry the X server's notices carry.
  struct Listener {
    std::function<void()> trayChanged;  // the selection's owner changed: a manager appeared or went away
    // Reparented into a tray's window: the window's geometry in it, and that window's size.
    std::function<void(PixelRect window, PixelSize parent)> reparentedIntoTray;
    std::function<void()> reparentedToRoot;
    std::function<void(PixelRect window)> configured;  // the window's geometry in its parent changed
    std::function<void(PixelSize parent)> parentResized;
    std::function<void()> mapped;
    std::function<void()> destroyed;
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
  // Asks the X server which window owns the tray's selection, and tells the listeners when that changed:
  // for a change that came unannounced (a manager that replaced another while this process was starting),
  // and for every MANAGER message, which any X client can send.
  void lookUpManager();

  void addListener(WindowId window, Listener listener);
  void removeListener(WindowId window);

  // What the tray shows behind a docked window, at the window's place; null when it cannot be read, or
  // not yet: before the tray has laid out and shown the window's slot.
  QImage backgroundBehind(WindowId window) const;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  const Listener* listenerOf(WindowId window) const;
  void announceTrayChange();
  void announceReparent(WindowId window, WindowId parent, int x, int y);
  void announceConfigure(WindowId window, PixelRect geometry);
  void announceMap(WindowId window);
  void announceDestruction(WindowId window);
  void watchSlot(WindowId window, WindowId slot);
  // Runs the task once Qt has handled the event being filtered, in the order the events came.
  void afterQt(std::function<void()> task);
  void runDeferred();

  std::uint32_t selectionAtom_ = 0;
  std::uint32_t managerAtom_ = 0;
  std::uint32_t opcodeAtom_ = 0;
  std::uint32_t visualAtom_ = 0;
  WindowId root_ = 0;
  WindowId manager_ = 0;
  std::map<WindowId, Listener> listeners_;
  std::map<WindowId, WindowId> slots_;  // a tray's window that holds a listener's window -> that window
  std::vector<std::function<void()>> deferred_;
  QObject deferredContext_;  // the queued run of deferred_ lapses with the tracker
};

}  // namespace pellmor::xembed
