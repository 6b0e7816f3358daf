#pragma once

#include "Backends/BackendLayer.h"

// xcb helpers shared by the X11 files of the desktop backend. Widget code never includes this header.

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace pellmor::xembed {

// xcb hands every reply over to the caller, who releases it with free().
struct FreeDeleter {
  void operator()(void* pointer) const noexcept { std::free(pointer); }
};

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeDeleter>;

// Qt's own connection to the X server.
xcb_connection_t* connection();
// The root window of Qt's default screen, and that screen's number.
xcb_window_t rootWindow();
int defaultScreenNumber();

// The atom with this name, created when missing; XCB_ATOM_NONE when the server does not answer.
xcb_atom_t internAtom(std::string_view name);

}  // namespace pellmor::xembed
