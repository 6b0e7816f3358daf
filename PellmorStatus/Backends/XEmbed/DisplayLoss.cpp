#include "Backends/XEmbed/DisplayLoss.h"

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
};
DisplayLossState* state = nullptr;

bool displayConnectionBroken() {
  xcb_connection_t* const display = connection();
  return display != nullptr && xcb_connection_has_error(display) != 0;
}

[[noreturn]] void endForLostDisplay() {
  std::fflush(stdout);
  if (state->terminating && state->terminating()) std::_Exit(EXIT_SUCCESS);
  const char* name = std::getenv("DISPLAY");
  std::fprintf(stderr, "PellmorStatus: lost the connection to the X display %s\n",
               name != nullptr ? name : "");
  std::fflush(stderr);
  std::_Exit(EXIT_FAILURE);
}

// Qt reports the broken connection with a warning right before it calls exit(1).
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (displayConnectionBroken()) endForLostDisplay();
  if (state->previousHandler != nullptr) state->previousHandler(type, context, message);
}

// Any other road to exit() with a broken connection ends the same way, before the exit handlers run.
void onExit() {
  if (displayConnectionBroken()) endForLostDisplay();
}

}  // namespace

void endProcessWhenDisplayIsLost(std::function<bool()> terminating) {
  if (state != nullptr) return;
  state = new DisplayLossState{std::move(terminating), nullptr};  // kept until the process ends
  state->previousHandler = qInstallMessageHandler(onQtMessage);
  std::atexit(onExit);
}

}  // namespace pellmor::xembed
