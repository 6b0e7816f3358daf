#include "Support/Output.h"

#include <string>

namespace pellmor {

void printLine(std::string_view text) {
  printLine(stdout, text);
}

void printLine(std::FILE* stream, std::string_view text) {
  // The reader thread and the main thread both print. One fwrite holds the stream for the whole line
  // (POSIX locks the stream for each call), so two lines never interleave.
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

}  // namespace pellmor
