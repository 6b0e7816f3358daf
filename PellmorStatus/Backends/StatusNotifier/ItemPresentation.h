#pragma once

#include "Backends/BackendLayer.h"

#include "Backends/StatusNotifier/StatusNotifierItem.h"
#include "Platform/HostedContent.h"

namespace pellmor::sni {

// Square icon sizes that hosts commonly ask for, in pixels; each gets the content's compact form.
inline constexpr int compactIconSizes[] = {16, 22, 24, 32, 48, 64};
// The whole item row is drawn at this scale as the largest pixmap, for hosts that keep the aspect ratio.
inline constexpr double fullRowScale = 3.0;

// What a StatusNotifierItem host is shown of the content: the compact squares and the full row as the
// icon, the words of the X11 tooltip as title and tooltip, the shown text as the label, and the menu.
Presentation presentationOf(const platform::HostedContent& content);

}  // namespace pellmor::sni
