// Diagnostics come from the reader thread and the main thread at once; each must stay a line of its own.
// The stream takes its lock for each call, so a line handed to it in one call cannot be torn by another
// thread's: an unbuffered stream shows each call the line makes.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Support/Output.h"

namespace pellmor {
namespace {

ssize_t recordWrite(void* calls, const char* bytes, size_t size) {
  static_cast<std::vector<std::string>*>(calls)->emplace_back(bytes, size);
  return static_cast<ssize_t>(size);
}

TEST(PrintLine, HandsTheStreamEachLineInOneCall) {
  std::vector<std::string> calls;
  std::FILE* stream =
      fopencookie(&calls, "w", {.read = nullptr, .write = recordWrite, .seek = nullptr, .close = nullptr});
  ASSERT_NE(stream, nullptr);
  std::setvbuf(stream, nullptr, _IONBF, 0);
  const std::string longLine(3 * BUFSIZ, 'x');
  printLine(stream, "Failed to open FIFO for reading");
  printLine(stream, longLine);
  std::fclose(stream);
  EXPECT_EQ(calls, (std::vector<std::string>{"Failed to open FIFO for reading\n", longLine + "\n"}));
}

}  // namespace
}  // namespace pellmor
