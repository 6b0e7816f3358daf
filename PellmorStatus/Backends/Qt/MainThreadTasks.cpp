#include "Backends/Qt/MainThreadTasks.h"

#include <QCoreApplication>
#include <QEvent>
#include <optional>
#include <utility>

namespace pellmor::qt {

void MainThreadTasks::post(std::function<void()> task) {
  if (tasks_.push(std::move(task))) QCoreApplication::postEvent(this, new QEvent(QEvent::User));
}

bool MainThreadTasks::event(QEvent* event) {
  if (event->type() != QEvent::User) return QObject::event(event);
  // One at a time: a task may run a nested event loop (a menu), in which later tasks run on.
  while (std::optional<PostedTasks::Task> task = tasks_.pop())
    (*task)();
  return true;
}

}  // namespace pellmor::qt
