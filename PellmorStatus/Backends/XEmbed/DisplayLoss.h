#pragma once

#include "Backends/BackendLayer.h"

#include <functional>

namespace pellmor::xembed {

// Qt ends the process with exit(1) when its X connection breaks, and exit handlers then tear down a live
// application underneath its own event processing; when the display is gone before Qt could connect, Qt
// aborts instead ("no Qt platform plugin could be initialized"). This takes over first: the process ends
// at once with one line on standard error and status 1, or silently with status 0 when a termination
// signal was already being handled (its "GOODBYE!" is then the last line). Call once, on an X display,
// before the QApplication is made; `terminating` is asked only once it runs.
void endProcessWhenDisplayIsLost(std::function<bool()> terminating);

}  // namespace pellmor::xembed
