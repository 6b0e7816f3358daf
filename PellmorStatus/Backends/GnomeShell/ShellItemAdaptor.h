#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QString>
#include <QStringList>

#include "Backends/GnomeShell/ShellTypes.h"

namespace pellmor::gnome {

class ShellItem;

// The item's face on the bus for the GNOME Shell extension: the picture to show, its description and
// menu, and the clicks the extension passes on, with the caller's name. Everything is answered by the item
// that owns the adaptor.
class ShellItemAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.pellmor.Status.Item")
  Q_PROPERTY(pellmor::gnome::ItemImage Image READ image)
  Q_PROPERTY(QString Description READ description)
  Q_PROPERTY(QStringList MenuEntries READ menuEntries)

 public:
  explicit ShellItemAdaptor(ShellItem& item);

  ItemImage image() const;
  QString description() const;
  QStringList menuEntries() const;

 public Q_SLOTS:
  // A left click at (x, y) screen pixels from the picture's top-left corner; outside the picture for a
  // click on the panel button's padding.
  // The message each comes in, last, is QtDBus's own addition (not on the bus): it names the caller.
  void Activate(int x, int y, const QDBusMessage& message);
  // A middle click.
  void SecondaryActivate(const QDBusMessage& message);
  void ActivateMenuEntry(int index, const QDBusMessage& message);

 private:
  ShellItem& item_;
};

}  // namespace pellmor::gnome
