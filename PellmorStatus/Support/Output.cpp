#include "Support/Output.h"

#include <cstdio>

namespace pellmor {

void printLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace pellmor
