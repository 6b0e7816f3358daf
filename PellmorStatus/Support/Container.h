#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellmor {

// The runtime directory: $XDG_RUNTIME_DIR, or /tmp/runtime-<uid> when it is unset or empty (created 0700,
// checked like a container, with one warning line on standard error). Called early by the process
// entry, which then puts the fallback into XDG_RUNTIME_DIR, so that Qt and every later lookup use the same
// directory and nothing warns twice. Nothing when the fallback cannot be made private.
std::optional<std::string> adoptRuntimeDirectory();

// Whether a lookup may make the container: the companion does, a client (pellmorctl) only finds it.
enum class ContainerAccess { create, findExisting };

// The shared container of an application group on Linux: <runtime directory>/<appGroupIdentifier>,
// created with mode 0700 when missing. A directory of this user that group or others may use is made
// 0700 with one warning line on standard error (a main application running under umask 002 creates it
// 0775). Returns nothing when the container is missing (findExisting), cannot be made, or is unsafe: not
// a real directory (a symlink counts as unsafe) or not owned by the current user; findExisting also
// refuses one that others may use, without changing it.
std::optional<std::string> appGroupContainerPath(std::string_view appGroupIdentifier,
                                                 ContainerAccess access = ContainerAccess::create);

}  // namespace pellmor
