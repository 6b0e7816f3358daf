#pragma once

#include "Backends/BackendLayer.h"

#include <functional>
#include <memory>
#include <optional>

#include <QRect>
#include <chrono>

#include "Backends/Qt/GlobalCoordinates.h"
#include "Backends/XEmbed/TrayDock.h"
#include "Backends/XEmbed/X11Window.h"
#include "Platform/Drawing.h"
#include "Platform/HostedContent.h"
#include "Platform/StatusBar.h"

namespace pellmor::xembed {

class TrayTracker;
class TrayWidget;

// The status item's button: a frameless top-level widget that docks into the system tray. How it gets
// there and out again is the dock's state machine (TrayDock); this class carries its requests out on
// xcb and Qt and feeds it the X server's notices. Its window title is always "<image name>|<shown text>".
class TrayButton final : public platform::Button, private TrayPort {
 public:
  TrayButton(TrayTracker& tracker, std::function<qt::ScreenLayout()> layout);
  ~TrayButton() override;
  TrayButton(const TrayButton&) = delete;
  TrayButton& operator=(const TrayButton&) = delete;

  platform::Rect frame() const override;
  void setFrame(platform::Rect frame) override;
  // The part of the window that the tray shows.
  platform::Rect bounds() const override;
  // The tray's top-level window while the item is shown on screen in it; null otherwise.
  const platform::Window* window() const override;
  platform::Rect convertRectToWindow(platform::Rect rect) const override;
  void addSubview(platform::View& child) override;
  void setAction(std::function<void()> action) override;

  // Whether the item may dock (off until turned on): off while another front end shows the item, and
  // turning it off withdraws the item from the tray.
  void setDockingEnabled(bool enabled);
  // Called when a tray comes or goes, and when the verdict below changes (once the tray has settled on
  // the item's cell).
  void setTrayObserver(std::function<void()> observer) { trayObserver_ = std::move(observer); }
  bool trayPresent() const;
  // Whether the current tray's settled cell shows the whole row on screen; unknown until the item has
  // been docked into it and the tray has settled. False where the tray does not show the item at all.
  std::optional<bool> trayGivesWidth() const { return trayGivesWidth_; }

 private:
  // What the dock asks for.
  bool requestDock() override;
  void lookUpManager() override;
  void withdraw() override;
  void withdrawToRoot() override;
  void recreateWindow() override;
  void showInTray() override;
  void resizeWindow(PixelSize size) override;
  void takeWindowSize(PixelSize size) override;
  void fitCell(PixelRect cell) override;
  std::optional<PixelRect> shownPart(PixelRect cell) override;
  void cellChanged() override;
  void after(std::chrono::milliseconds delay, std::function<void()> task) override;

  void listen();
  // A new native window (translucent for a tray whose visual has alpha), at whatever size Qt makes it.
  void remakeWindow(bool translucent);
  void managerChanged();
  void showWhenSlotIsReady(int generation, int attempt);
  void pinNativeSize();
  // Sets the widget's fixed size; true when its size in points cannot hold these pixels exactly.
  bool fixWidgetSize(PixelSize size);
  PixelSize ownPixels() const;
  double pixelRatio() const;
  std::optional<QRect> itemOnScreen() const;
  void showDescription(const platform::RenderDescription& description);
  void runAction();
  void notifyTrayObserver();

  TrayTracker& tracker_;
  std::function<qt::ScreenLayout()> layout_;
  std::unique_ptr<TrayWidget> widget_;
  WindowId windowId_ = 0;
  TrayDock dock_{*this};
  platform::Rect frame_;
  PixelRect cell_;          // what the tray shows of the window
  int showGeneration_ = 0;  // counts shows and withdrawals: a show still waiting lapses
  int dockingChoice_ = 0;
  std::function<void()> action_;
  std::function<void()> trayObserver_;
  std::optional<bool> trayGivesWidth_;
  std::shared_ptr<platform::HostedContent> content_;
  // The top-level window that holds the item: the tray's panel while docked.
  X11Window window_{[this] { return topLevelAncestor(windowId_); }, [this] { return layout_(); }};
};

}  // namespace pellmor::xembed
