#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QObject>
#include <functional>

#include "Backends/GnomeShell/ShellTypes.h"

namespace pellmor::gnome {

class ShellItemAdaptor;

// The item on the session bus for the GNOME Shell extension: the object at /com/pellmor/Status/Item,
// published under com.pellmor.Status.Item, which the extension watches. Knows nothing of the status
// item's content; the extension's clicks come out as actions.
class ShellItem final : public QObject {
  Q_OBJECT

 public:
  struct Actions {
    std::function<void(int x, int y)> activate;
    std::function<void()> secondaryActivate;
    std::function<void(int index)> menuEntryClicked;
  };

  ShellItem(QDBusConnection bus, Actions actions);
  ~ShellItem() override;

  // Announces the parts that changed in one PropertiesChanged signal, and nothing when none did.
  void show(const ShellPresentation& presentation);
  const ShellPresentation& presentation() const { return presentation_; }
  const Actions& actions() const { return actions_; }

  // While published the extension shows the item; unpublishing releases the name, and the extension
  // removes it from the panel.
  void setPublished(bool published);
  bool published() const { return published_; }

 private:
  QDBusConnection bus_;
  Actions actions_;
  ShellPresentation presentation_;
  bool published_ = false;
};

}  // namespace pellmor::gnome
