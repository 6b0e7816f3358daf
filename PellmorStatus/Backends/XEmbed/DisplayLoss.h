#pragma once

#include "Backends/BackendLayer.h"

#include <functional>

namespace pellmor::xembed {

// Qt ends the process with exit(1) when its X connection breaks, and exit handlers then tear down a live
// application underneath its own event processing. This takes over first: once the connection is broken,
// the process ends at once with one line on standard error and status 1, or silently with status 0 when a
// termination signal was already being handled (its "GOODBYE!" is then the last line). Call once, after
// the QGuiApplication exists.
void endProcessWhenDisplayIsLost(std::function<bool()> terminating);

}  // namespace pellmor::xembed
