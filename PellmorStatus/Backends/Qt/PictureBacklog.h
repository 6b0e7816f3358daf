#pragma once

#include "Backends/BackendLayer.h"

#include <QTimer>
#include <QtGlobal>
#include <functional>

namespace pellmor::qt {

class ServedConnection;

// Keeps the item's picture, the one large thing it sends, out of a connection whose outgoing queue has
// grown. A client that asks for the picture again and again and reads none of the answers makes the bus
// daemon stop reading from the item once it holds its own share of them, and from then on every answer
// waits in this process. A picture held back is offered anew once the queue is short again.
class PictureBacklog {
 public:
  // More than this waiting to be written, and the picture is held back: a few dozen pictures.
  static constexpr qint64 limitBytes = 8 * 1024 * 1024;

  // `picture` names what is held back in the line that says so ("IconPixmap"); `offerAnew` runs once the
  // queue is short again after the picture was held back, while the same connection is open.
  PictureBacklog(const ServedConnection& connection, const char* picture, std::function<void()> offerAnew);

  // Whether a message carrying the picture may join the connection's queue now.
  bool admits();

 private:
  bool queueIsLong() const;
  void checkDrained();

  const ServedConnection& connection_;
  const char* picture_;
  std::function<void()> offerAnew_;
  QTimer drainCheck_;  // runs while a picture is held back: libdbus tells nobody when its queue shrinks
};

}  // namespace pellmor::qt
