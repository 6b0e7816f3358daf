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
    std::size_t bound;
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
    std::size_t pending = 0;
  } cases[] = {
      {64, {"{\"act", "ion\":\"clear", "Timer\"}\n"}, {"{\"action\":\"clearTimer\"}"}},
      {64, {"a\n\n", "b\rc\r\n"}, {"a", "", "b\rc\r"}},
      {64, {"done\npart"}, {"done"}, 4},
      {64, {std::string("a\0b\n", 4)}, {std::string("a\0b", 3)}},
      {8, {"1234", "5678", "\nnext\n"}, {"12345678", "next"}},
      {8, {"123456789\n12345678\n"}, {"12345678"}},
      {8, {"12345678", "12345678", "12345678", "\nnext\n"}, {"next"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.chunks));
    LineFramer framer(c.bound);
    std::vector<std::string> lines;
    for (const std::string& chunk : c.chunks)
      framer.push(chunk, [&lines](std::string_view line) { lines.emplace_back(line); });
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(framer.pendingSize(), c.pending);
    EXPECT_FALSE(framer.isDiscarding());
  }
}

TEST(Framing, DefaultBoundIsOneMebibyte) {
  LineFramer framer;
  const auto ignore = [](std::string_view) {};
  framer.push(std::string(std::size_t{1} << 20, 'y'), ignore);
  EXPECT_FALSE(framer.isDiscarding());
  framer.push("y", ignore);
  EXPECT_TRUE(framer.isDiscarding());
  EXPECT_EQ(framer.pendingSize(), 0u);  // the pending bytes never pass the bound
}

}  // namespace
}  // namespace pellmor
