// Built with the core's flags by the layering test, which expects this include to stop the build.
#include "Backends/Qt/GlobalCoordinates.h"
