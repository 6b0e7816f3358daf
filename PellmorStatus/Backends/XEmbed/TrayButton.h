#pragma once

#include "Backends/BackendLayer.h"

#include <functional>
#include <memory>
#include <optional>

#include <QSize>

#include "Backends/Qt/GlobalCoordinates.h"
#include "Backends/XEmbed/X11Window.h"
#include "Platform/Drawing.h"
#include "Platform/HostedContent.h"
#include "Platform/StatusBar.h"

namespace pellmor::xembed {

class TrayTracker;
class TrayWidget;

// The status item's button: a frameless top-level widget that docks into the system tray, asks to dock
// again whenever a tray manager appears, and is shown only once the tray has embedded it. Its window
// title is always "<image name>|<shown text>".
class TrayButton final : public platform::Button {
 public:
  TrayButton(TrayTracker& tracker, std::function<qt::ScreenLayout()> layout);
  ~TrayButton() override;
  TrayButton(const TrayButton&) = delete;
  TrayButton& operator=(const TrayButton&) = delete;

  platform::Rect frame() const override;
  void setFrame(platform::Rect frame) override;
  platform::Rect bounds() const override;
  // The tray's top-level window while the item is docked; null otherwise.
  const platform::Window* window() const override;
  platform::Rect convertRectToWindow(platform::Rect rect) const override;
  void addSubview(platform::View& child) override;
  void setAction(std::function<void()> action) override;

  // Whether the item may dock (on by default): off while another front end shows the item, and turning it
  // off withdraws a docked item from the tray.
  void setDockingEnabled(bool enabled);
  // Called when a tray comes or goes, and when the tray has given the item its cell.
  void setTrayObserver(std::function<void()> observer) { trayObserver_ = std::move(observer); }
  bool trayPresent() const;
  // Whether the current tray's cell shows the whole row; unknown until the item has been docked into it.
  std::optional<bool> trayGivesWidth() const { return trayGivesWidth_; }

 private:
  void listen();
  void dock();
  void startDockSequence();
  void trayChanged();
  void embedded();
  void orphaned();
  void withdrawWindow();
  void fitToSlot();
  void settleInSlot();
  void showInCell(QSize cell);
  QSize pointsOf(PixelSize pixels) const;
  void showWhenSlotIsReady();
  void pinNativeSize();
  void showDescription(const platform::RenderDescription& description);
  void runAction();
  void measureCell();
  void notifyTrayObserver();

  TrayTracker& tracker_;
  std::function<qt::ScreenLayout()> layout_;
  std::unique_ptr<TrayWidget> widget_;
  WindowId windowId_ = 0;
  bool docked_ = false;
  int dockSequence_ = 0;
  int dockRequests_ = 0;
  int backgroundAttempts_ = 0;
  bool settlePending_ = false;
  platform::Rect frame_;
  platform::Size cell_;  // what the tray shows of the window, in points
  std::function<void()> action_;
  std::function<void()> trayObserver_;
  bool dockingEnabled_ = true;
  std::optional<bool> trayGivesWidth_;
  std::shared_ptr<platform::HostedContent> content_;
  // The top-level window that holds the item: the tray's panel while docked.
  X11Window window_{[this] { return topLevelAncestor(windowId_); }, [this] { return layout_(); }};
};

}  // namespace pellmor::xembed
