// Line framing of the bytes read from "/from_main.fifo".

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Support/LineFramer.h"

namespace pellmor {
namespace {

// A line of exactly the bound is kept; a longer one is discarded up to its newline, whether it grows in
// pieces or arrives whole, and the next line is handled.
TEST(Framing, CutsLinesAtNewlineOnlyWithinTheBound) {
  const struct {
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
  } cases[] = {
      {{"1234", "5678", "\nnext\n"}, {"12345678", "next"}},
      {{"123456789\n12345678\n"}, {"12345678"}},
      {{"12345678", "12345678", "12345678", "\nnext\n"}, {"next"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.chunks));
    LineFramer framer(8);
    std::vector<std::string> lines;
    for (const std::string& chunk : c.chunks) {
      framer.push(chunk, [&lines](std::string_view line) { lines.emplace_back(line); });
      EXPECT_LE(framer.pendingSize(), 8u);  // the pending bytes never pass the bound
    }
    EXPECT_EQ(lines, c.lines);
  }
}

}  // namespace
}  // namespace pellmor
