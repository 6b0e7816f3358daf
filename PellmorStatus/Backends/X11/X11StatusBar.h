#pragma once

#include "Backends/BackendLayer.h"

#include <memory>

#include "Backends/X11/GlobalCoordinates.h"
#include "Platform/Screens.h"
#include "Platform/StatusBar.h"

namespace pellmor::x11 {

class TrayTracker;

// The screens as Qt knows them, in global coordinates.
class X11Screens final : public platform::Screens {
 public:
  std::vector<platform::Rect> screens() const override;
};

// How X11 pixels map onto global points right now (the first screen decides).
ScreenLayout currentScreenLayout();

// The system tray seen as the platform's status bar: each item is a button docked into the tray.
class X11StatusBar final : public platform::StatusBar {
 public:
  // Needs the running QApplication.
  X11StatusBar();
  ~X11StatusBar() override;

  std::unique_ptr<platform::StatusBarItem> statusItemWithLength(double length) override;
  std::unique_ptr<platform::HostingView> makeHostingView(
      std::shared_ptr<platform::HostedContent> root) override;

 private:
  std::unique_ptr<TrayTracker> tracker_;
};

}  // namespace pellmor::x11
