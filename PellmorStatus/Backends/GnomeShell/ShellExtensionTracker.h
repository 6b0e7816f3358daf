#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <tuple>

#include "Backends/Qt/BusNameFollower.h"
#include "Backends/Qt/GlobalCoordinates.h"

namespace pellmor::gnome {

// The top bar as the extension reports it, in the shell's stage pixels (on X11 the root window's).
struct ShellPanel {
  int height = 0;  // the room the item's picture gets; 0 until reported
  int scale = 0;   // the shell's scale factor: screen pixels per logical pixel
  qt::PixelRect frame;
  qt::PixelRect itemFrame;  // where the extension shows the item; empty while it shows none
  bool usable() const { return height > 0 && scale > 0; }
  friend bool operator==(const ShellPanel&, const ShellPanel&) = default;
};

// Follows Pellmor Status's GNOME Shell extension on the session bus: whether it is enabled (it owns
// com.pellmor.Status.GnomeShell while it is), and the panel it reports, read once it appears and followed
// through its change signals. Values outside what a top bar can be are refused with one line each.
// Connects in the background and again whenever the bus is lost; nothing here waits on the bus.
class ShellExtensionTracker final : public QObject {
  Q_OBJECT

 public:
  ShellExtensionTracker();
  ~ShellExtensionTracker() override;

  // Connected to the session bus, or still trying for the first time; false while the bus is lost.
  bool busReachable() const { return follower_.reachable(); }
  // Connected, and the extension owns its name.
  bool available() const { return connected() && !owner().isEmpty(); }
  bool connected() const { return follower_.bus().has_value(); }
  // The unique name of the shell that runs the extension; empty while none does.
  const QString& owner() const { return follower_.owner(); }
  const ShellPanel& panel() const { return panel_; }

  // Makes and ends the connections the item is served on.
  qt::BusConnector& connector() { return follower_.connector(); }

 Q_SIGNALS:
  // busReachable() or available() may have changed.
  void availabilityChanged();
  void panelChanged();

 private Q_SLOTS:
  void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated,
                         const QDBusMessage& message);

 private:
  void connectedTo(const qt::NonBlockingBus& bus);
  void lost();
  void ownerChangedTo(const QString& owner);
  void askForProperties();
  void apply(const QVariantMap& properties);
  void changeState(const std::function<void()>& change);

  ShellPanel panel_;
  std::tuple<bool, bool> reported_{true, false};
  qt::BusNameFollower follower_;  // last: its handlers use the rest
};

}  // namespace pellmor::gnome
