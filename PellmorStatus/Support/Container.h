#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pellmor {

// The shared container of an application group on Linux: $XDG_RUNTIME_DIR/<appGroupIdentifier>, created
// with mode 0700 when missing. When XDG_RUNTIME_DIR is unset or empty, /tmp/runtime-<uid> stands in for
// it (created 0700, checked like the container) and one warning line goes to standard error.
// Returns nothing when the container cannot be made or is unsafe: not a real directory (a symlink
// counts as unsafe), not owned by the current user, or writable by group or others.
std::optional<std::string> appGroupContainerPath(std::string_view appGroupIdentifier);

}  // namespace pellmor
