#pragma once

#include "Backends/BackendLayer.h"

#include "Backends/StatusNotifier/StatusNotifierHost.h"
#include "Backends/StatusNotifier/StatusNotifierItem.h"
#include "Platform/HostedContent.h"

namespace pellmor::sni {

// What a StatusNotifierItem host is shown of the content: the pixmaps the host can pick from (hosts pick
// differently, so each is served only what it draws well), the state and the host's clicks in words as
// title and tooltip, the shown text as the label, and the menu.
Presentation presentationOf(const platform::HostedContent& content, StatusNotifierHost host);

}  // namespace pellmor::sni
