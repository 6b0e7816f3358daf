#pragma once

#include <string_view>

namespace pellmor {

// Writes one diagnostic line to standard output and flushes it, so a reader on a pipe sees each line as
// soon as it is printed.
void printLine(std::string_view text);

}  // namespace pellmor
