#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "Backends/Qt/GlobalCoordinates.h"

namespace pellmor::gnome {

// The top bar as the extension reports it, in the shell's stage pixels (on X11 the root window's).
struct ShellPanel {
  int height = 0;  // the room the item's picture gets; 0 until reported
  int scale = 0;   // the shell's scale factor: screen pixels per logical pixel
  qt::PixelRect frame;
  qt::PixelRect itemFrame;  // where the extension shows the item; empty while it shows none
  bool usable() const { return height > 0 && scale > 0; }
};

// Follows Pellmor Status's GNOME Shell extension on the session bus: whether it is enabled (it owns
// com.pellmor.Status.GnomeShell while it is), and the panel it reports, read once it appears and followed
// through its change signals. Values outside what a top bar can be are refused with one line each.
class ShellExtensionTracker final : public QObject {
  Q_OBJECT

 public:
  explicit ShellExtensionTracker(QDBusConnection bus);

  // The extension owns its name; asks the bus daemon itself at first, so the start-up choice knows.
  bool available() const { return !owner_.isEmpty(); }
  const ShellPanel& panel() const { return panel_; }

 Q_SIGNALS:
  void availabilityChanged();
  void panelChanged();

 private Q_SLOTS:
  void propertiesChanged(const QString& interface, const QVariantMap& changed,
                         const QStringList& invalidated);

 private:
  void ownerChangedTo(const QString& owner);
  void askForProperties();
  void apply(const QVariantMap& properties);

  QDBusConnection bus_;
  QDBusServiceWatcher serviceWatcher_;
  QString owner_;
  ShellPanel panel_;
};

}  // namespace pellmor::gnome
