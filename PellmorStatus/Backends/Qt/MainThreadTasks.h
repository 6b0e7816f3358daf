#pragma once

#include "Backends/BackendLayer.h"

#include <QObject>
#include <functional>

#include "Platform/MainThread.h"
#include "Support/PostedTasks.h"

namespace pellmor::qt {

// Runs tasks posted from any thread on the thread this object was made on (the main thread), in the
// order they were posted; the tasks not yet run are dropped with it. They wait in a queue of our own,
// and Qt's event only says that the queue has work: a task handed over inside Qt's event would pass
// under Qt's locks, which ThreadSanitizer cannot see, so every read of it would look like a race.
class MainThreadTasks final : public QObject, public platform::MainThread {
 public:
  void post(std::function<void()> task) override;

 protected:
  bool event(QEvent* event) override;

 private:
  PostedTasks tasks_;
};

}  // namespace pellmor::qt
