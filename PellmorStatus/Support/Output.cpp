#include "Support/Output.h"

#include <cstdio>

namespace pellmor {

void printLine(std::string_view text) {
  // The reader thread and the main thread both print: hold the stream for the whole line so two lines
  // never interleave.
  flockfile(stdout);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  funlockfile(stdout);
}

}  // namespace pellmor
