#pragma once

#include "Backends/BackendLayer.h"

#include <memory>
#include <optional>

#include "Backends/Desktop/HostChoice.h"
#include "Platform/StatusBar.h"

namespace pellmor::xembed {
class TrayTracker;
}
namespace pellmor::sni {
class StatusNotifierWatcherTracker;
}
namespace pellmor::gnome {
class ShellExtensionTracker;
}

namespace pellmor::desktop {

// The status bar of a Linux desktop: each item is shown in the X11 system tray (XEmbed), to a
// StatusNotifierItem host on the session bus, or in GNOME Shell's top bar by Pellmor Status's extension,
// whichever the desktop offers (see chooseHost), switching as hosts come and go.
class DesktopStatusBar final : public platform::StatusBar {
 public:
  struct Options {
    HostMode mode = HostMode::automatic;
    bool xDisplay = false;  // Qt runs on xcb, so the XEmbed tray can be used
    bool waylandSession = false;
  };

  // Needs the running QApplication.
  explicit DesktopStatusBar(Options options);
  ~DesktopStatusBar() override;

  std::unique_ptr<platform::StatusBarItem> statusItemWithLength(double length) override;
  std::unique_ptr<platform::HostingView> makeHostingView(
      std::shared_ptr<platform::HostedContent> root) override;

 private:
  Options options_;
  std::unique_ptr<xembed::TrayTracker> tray_;
  std::unique_ptr<sni::StatusNotifierWatcherTracker> watcher_;
  std::unique_ptr<gnome::ShellExtensionTracker> shellExtension_;
};

}  // namespace pellmor::desktop
