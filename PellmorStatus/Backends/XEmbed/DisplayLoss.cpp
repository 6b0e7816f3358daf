#include "Backends/XEmbed/DisplayLoss.h"

#include <QCoreApplication>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "Backends/XEmbed/XcbSupport.h"

namespace pellmor::xembed {
namespace {

// Qt's message handler and exit handlers are plain function pointers, so what they need lives here.
struct DisplayLossState {
  std::function<bool()> terminating;
  QtMessageHandler previousHandler = nullptr;
  bool connectFailed = false;  // while starting up: Qt could not open the display
};
DisplayLossState* state = nullptr;

bool displayConnectionBroken() {
  xcb_connection_t* const display = connection();
  return display != nullptr && xcb_connection_has_error(display) != 0;
}

[[noreturn]] void endForLostDisplay() {
  std::fflush(stdout);
  if (!QCoreApplication::startingUp() && state->terminating && state->terminating()) std::_Exit(EXIT_SUCCESS);
  const char* name = std::getenv("DISPLAY");
  std::fprintf(stderr, "PellmorStatus: lost the connection to the X display %s\n",
               name != nullptr ? name : "");
  std::fflush(stderr);
  std::_Exit(EXIT_FAILURE);
}

// While Qt starts, a display that does not answer any more shows as its warning "could not connect to
// display", then Qt's own fatal message; both are replaced by the one line.
bool startingWithoutDisplay(QtMsgType type, const QString& message) {
  if (message.startsWith(QLatin1String("could not connect to display"))) state->connectFailed = true;
  if (state->connectFailed && type == QtFatalMsg) endForLostDisplay();
  return state->connectFailed;
}

// Once Qt runs, it reports the broken connection with a warning right before it calls exit(1).
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (QCoreApplication::startingUp()) {
    if (startingWithoutDisplay(type, message)) return;
  } else if (displayConnectionBroken()) {
    endForLostDisplay();
  }
  if (state->previousHandler != nullptr) state->previousHandler(type, context, message);
}

// Any other road to exit() with a broken connection ends the same way, before the exit handlers run.
void onExit() {
  if (!QCoreApplication::startingUp() && displayConnectionBroken()) endForLostDisplay();
}

}  // namespace

void endProcessWhenDisplayIsLost(std::function<bool()> terminating) {
  if (state != nullptr) return;
  state = new DisplayLossState{std::move(terminating), nullptr};  // kept until the process ends
  state->previousHandler = qInstallMessageHandler(onQtMessage);
  std::atexit(onExit);
}

}  // namespace pellmor::xembed
