#pragma once

#include "Backends/BackendLayer.h"

namespace pellmor {

// Whether an X server answers on DISPLAY. Needs only libxcb, so a process can ask before it loads Qt.
bool displayAvailable();

}  // namespace pellmor
