#pragma once

#include "Backends/BackendLayer.h"

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

#include "Backends/GnomeShell/ShellTypes.h"
#include "Backends/Qt/PictureBacklog.h"
#include "Backends/Qt/ServedConnection.h"

namespace pellmor::gnome {

class ShellExtensionTracker;

// The item on the session bus for the GNOME Shell extension: the object at /com/pellmor/Status/Item,
// published under com.pellmor.Status.Item, which the extension watches. While published it is served on a
// connection of its own, so unpublishing closes that connection and the name goes with it, whatever the
// bus daemon is doing. Knows nothing of the status item's content; the extension's clicks come out as
// actions.
class ShellItem final : public QObject {
  Q_OBJECT

 public:
  struct Actions {
    std::function<void(int x, int y)> activate;
    std::function<void()> secondaryActivate;
    std::function<void(int index)> menuEntryClicked;
  };

  ShellItem(ShellExtensionTracker& tracker, Actions actions);
  ~ShellItem() override;

  // Announces the parts that changed in one PropertiesChanged signal, and nothing when none did.
  void show(const ShellPresentation& presentation);
  const ShellPresentation& presentation() const { return presentation_; }
  // The picture as a read gets it: empty while the bus is not taking the item's messages.
  ItemImage imageToSend();

  // While published the extension shows the item; unpublishing releases the name, and the extension
  // removes it from the panel.
  void setPublished(bool published) { connection_.setPublished(published); }
  bool published() const { return connection_.published(); }

  // The extension's calls, each with the unique name of its caller. Taken only from the shell that runs
  // the extension, while the item is published: any other client of the bus could call them too.
  void activate(const QString& caller, int x, int y);
  void secondaryActivate(const QString& caller);
  void activateMenuEntry(const QString& caller, int index);

 private:
  void askForName(const qt::NonBlockingBus& bus);
  bool isTheShell(const QString& caller) const;
  void announce(const QVariantMap& changed);

  ShellExtensionTracker& tracker_;
  Actions actions_;
  ShellPresentation presentation_;
  qt::PictureBacklog imageMessages_;  // watches connection_, which is declared after it
  qt::ServedConnection connection_;   // last: closed first, while the object it serves still exists
};

}  // namespace pellmor::gnome
