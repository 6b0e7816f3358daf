#pragma once

#include "Backends/BackendLayer.h"

#include <QString>

#include "Platform/Drawing.h"

namespace pellmor::qt {

// What the item shows, in words: its tooltip, and the title hosts without a tooltip read out.
QString describeInWords(const platform::RenderDescription& description);

}  // namespace pellmor::qt
