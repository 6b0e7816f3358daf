#pragma once

#include "Backends/BackendLayer.h"

#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "Backends/GnomeShell/ShellExtensionTracker.h"
#include "Backends/GnomeShell/ShellItem.h"
#include "Backends/Qt/ClickLimiter.h"
#include "Backends/Qt/GlobalCoordinates.h"
#include "Platform/HostedContent.h"
#include "Platform/StatusBar.h"

namespace pellmor::gnome {

// The top bar seen through the platform's window interface: the panel's frame as the extension reports it.
class ShellPanelWindow final : public platform::Window {
 public:
  ShellPanelWindow(const ShellExtensionTracker& tracker, std::function<qt::ScreenLayout()> layout);
  platform::Rect frame() const override;
  platform::Rect convertRectToScreen(platform::Rect rect) const override;

 private:
  const ShellExtensionTracker& tracker_;
  std::function<qt::ScreenLayout()> layout_;
};

// The status item's button in GNOME Shell's top bar: renders the whole content at the panel's height and
// scale for the extension to show, and runs the content's actions for the clicks it passes on. Its
// window is the panel, and its place the one the extension reports.
class GnomeShellButton final : public platform::Button {
 public:
  // How long after a panel report the picture is drawn for it (and for every report until then).
  static constexpr std::chrono::milliseconds panelRedrawDelay{50};

  GnomeShellButton(ShellExtensionTracker& tracker, std::function<qt::ScreenLayout()> layout);
  ~GnomeShellButton() override;

  platform::Rect frame() const override { return frame_; }
  void setFrame(platform::Rect frame) override { frame_ = frame; }
  platform::Rect bounds() const override;
  const platform::Window* window() const override;
  platform::Rect convertRectToWindow(platform::Rect rect) const override;
  // Takes the content of a qt::QtHostingView and follows what it shows.
  void addSubview(platform::View& child) override;
  void setAction(std::function<void()> action) override { action_ = std::move(action); }

  // Published once there is a picture to show: the extension never shows an empty item.
  void setPublished(bool published);
  bool published() const { return item_.published(); }

 private:
  void refresh();
  platform::Size cell() const;
  bool rowFits() const;
  platform::RenderDescription description() const;
  void click(int x, int y);
  bool clickContent(platform::Point point);
  void activateContent(platform::HitTarget target);

  ShellExtensionTracker& tracker_;
  std::function<qt::ScreenLayout()> layout_;
  ShellPanelWindow window_;
  qt::ClickLimiter clicks_{"the GNOME Shell extension"};  // before the item, whose actions it limits
  ShellItem item_;
  std::shared_ptr<platform::HostedContent> content_;
  std::function<void()> action_;
  platform::Rect frame_;
  QMetaObject::Connection panelConnection_;
  QTimer panelRedraw_;
  bool publishWanted_ = false;
};

}  // namespace pellmor::gnome
