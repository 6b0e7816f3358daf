#pragma once

#include <cstdio>
#include <string_view>

namespace pellmor {

// Writes one diagnostic line to standard output and flushes it, so a reader on a pipe sees each line as
// soon as it is printed.
void printLine(std::string_view text);
// The same on another stream.
void printLine(std::FILE* stream, std::string_view text);

}  // namespace pellmor
