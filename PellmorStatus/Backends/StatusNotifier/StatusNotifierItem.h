#pragma once

#include "Backends/BackendLayer.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

#include "Backends/StatusNotifier/DBusTypes.h"

namespace pellmor::sni {

class DBusMenuAdaptor;
class StatusNotifierItemAdaptor;
class StatusNotifierWatcherTracker;

// What the item shows a host.
struct Presentation {
  QString title;
  ToolTip toolTip;
  QString label;       // XAyatanaLabel
  QString labelGuide;  // the widest text the label takes, so a host can reserve its room
  IconPixmapList icon;
  QStringList menuEntries;
  friend bool operator==(const Presentation&, const Presentation&) = default;
};

// A StatusNotifierItem on the session bus: the object at /StatusNotifierItem with its menu at /MenuBar,
// published under its own name and registered with the watcher while published (again whenever the
// watcher's owner changes). Knows nothing of the status item's content; hosts' clicks come out as actions.
class StatusNotifierItem final : public QObject {
  Q_OBJECT

 public:
  struct Actions {
    std::function<void()> activate;
    std::function<void()> secondaryActivate;
    std::function<void(int index)> menuEntryClicked;
  };

  StatusNotifierItem(QDBusConnection bus, StatusNotifierWatcherTracker& watcher, Actions actions);
  ~StatusNotifierItem() override;

  // Sends a change signal for each part that changed, and none when nothing did.
  void show(const Presentation& presentation);
  const Presentation& presentation() const { return presentation_; }

  // While published a host can show the item; unpublishing releases the name, so the watcher drops it.
  void setPublished(bool published);
  bool published() const { return published_; }
  const QString& serviceName() const { return serviceName_; }

  void activate();
  void secondaryActivate();

 private:
  void registerWithWatcher();

  QDBusConnection bus_;
  StatusNotifierWatcherTracker& watcher_;
  Actions actions_;
  QObject menuObject_;
  StatusNotifierItemAdaptor* adaptor_;  // owned by this object (a QObject child)
  DBusMenuAdaptor* menu_;               // owned by menuObject_
  Presentation presentation_;
  QString serviceName_;
  bool published_ = false;
};

}  // namespace pellmor::sni
