#pragma once

#include "Backends/BackendLayer.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "Backends/Qt/PictureBacklog.h"
#include "Backends/Qt/ServedConnection.h"
#include "Backends/StatusNotifier/DBusMenuAdaptor.h"
#include "Backends/StatusNotifier/DBusTypes.h"

namespace pellmor::sni {

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

// A StatusNotifierItem on the session bus: the object at /StatusNotifierItem with its menu at /MenuBar.
// While published it is served on a connection of its own and registered with the watcher by its object
// path, so the watcher knows it by that connection's unique name (no well-known name another client could
// hold, and nothing for a host to watch but the connection itself). It registers once the watcher has a
// host; again with each new owner of the watcher's name, once that one has a host, and whenever the
// watcher drops it. Knows nothing of the status item's content; hosts' clicks come out as actions.
class StatusNotifierItem final : public QObject {
  Q_OBJECT

 public:
  struct Actions {
    std::function<void()> activate;
    std::function<void()> secondaryActivate;
    std::function<void(int index)> menuEntryClicked;
  };

  StatusNotifierItem(StatusNotifierWatcherTracker& watcher, Actions actions);
  ~StatusNotifierItem() override;

  // Sends a change signal for each part that changed, and none when nothing did.
  void show(const Presentation& presentation);
  const Presentation& presentation() const { return presentation_; }
  // The icon as a host's read gets it: empty while the bus is not taking the item's messages.
  IconPixmapList iconToSend();

  // While published a host can show the item; unpublishing closes its connection, so every watcher
  // drops it.
  void setPublished(bool published) { connection_.setPublished(published); }

  void activate();
  void secondaryActivate();

 private:
  void served();
  void registerWithWatcher();
  void watcherDropped(const QString& id);

  StatusNotifierWatcherTracker& watcher_;
  Actions actions_;
  DBusMenuObject menuObject_;
  StatusNotifierItemAdaptor* adaptor_;  // owned by this object (a QObject child)
  DBusMenuAdaptor* menu_;               // owned by menuObject_
  Presentation presentation_;
  int reRegistrations_ = 0;          // since the watcher's owner last changed
  qt::PictureBacklog iconReads_;     // watches connection_, which is declared after it
  qt::ServedConnection connection_;  // last: closed first, while the objects it serves still exist
};

}  // namespace pellmor::sni
