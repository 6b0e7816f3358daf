// Line framing and UTF-8 validation of the bytes read from "/from_main.fifo".

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Support/LineFramer.h"
#include "Support/Utf8.h"

namespace pellmor {
namespace {

struct FramingCase {
  const char* name;
  std::vector<std::string> chunks;
  std::vector<std::string> lines;
  std::string pending;
};

std::vector<std::string> frame(LineFramer& framer, const std::vector<std::string>& chunks) {
  std::vector<std::string> lines;
  for (const std::string& chunk : chunks) {
    framer.push(chunk, [&lines](std::string_view line) { lines.emplace_back(line); });
  }
  return lines;
}

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, CutsLinesAtNewlineOnly) {
  LineFramer framer;
  EXPECT_EQ(frame(framer, GetParam().chunks), GetParam().lines);
  EXPECT_EQ(framer.pendingSize(), GetParam().pending.size());
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, Framing,
    ::testing::Values(FramingCase{"one_line", {"{\"a\":1}\n"}, {"{\"a\":1}"}, ""},
                      FramingCase{"two_lines_in_one_chunk", {"one\ntwo\n"}, {"one", "two"}, ""},
                      FramingCase{"line_in_three_pieces",
                                  {"{\"act", "ion\":\"clear", "Timer\"}\n"},
                                  {"{\"action\":\"clearTimer\"}"},
                                  ""},
                      FramingCase{"empty_line", {"\n"}, {""}, ""},
                      FramingCase{"empty_lines_between", {"a\n\n\nb\n"}, {"a", "", "", "b"}, ""},
                      FramingCase{"carriage_return_kept", {"a\r\n"}, {"a\r"}, ""},
                      FramingCase{"lone_carriage_return_does_not_cut", {"a\rb\n"}, {"a\rb"}, ""},
                      FramingCase{"fragment_waits", {"done\npart"}, {"done"}, "part"},
                      FramingCase{"newline_in_its_own_chunk", {"abc", "\n"}, {"abc"}, ""},
                      FramingCase{
                          "lines_across_chunk_boundaries", {"a\nb", "c\nd", "\n"}, {"a", "bc", "d"}, ""},
                      FramingCase{"nothing", {}, {}, ""},
                      FramingCase{"empty_chunks", {"", "x", "", "\n"}, {"x"}, ""},
                      FramingCase{"nul_byte_kept", {std::string("a\0b\n", 4)}, {std::string("a\0b", 3)}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Framing, ResetDropsTheFragmentOnly) {
  LineFramer framer;
  EXPECT_EQ(frame(framer, {"first\nfrag"}), std::vector<std::string>{"first"});
  framer.reset();
  EXPECT_EQ(framer.pendingSize(), 0u);
  EXPECT_EQ(frame(framer, {"ment\n"}), std::vector<std::string>{"ment"});
}

// A line of exactly the bound is kept; one byte more is discarded up to its newline, whether it grows in
// pieces or arrives whole, and the next line is handled.
struct BoundCase {
  const char* name;
  std::size_t lineBytes;
  std::size_t pieces;
  bool kept;
};

class Bound : public ::testing::TestWithParam<BoundCase> {};

TEST_P(Bound, LongLineIsDiscardedAndLaterLinesWork) {
  constexpr std::size_t bound = 64;
  LineFramer framer(bound);
  const std::string longLine(GetParam().lineBytes, 'x');
  std::vector<std::string> chunks;
  const std::size_t step = (longLine.size() + GetParam().pieces - 1) / GetParam().pieces;
  for (std::size_t at = 0; at < longLine.size(); at += step)
    chunks.push_back(longLine.substr(at, step));
  chunks.push_back("\nnext\n");

  const std::vector<std::string> lines = frame(framer, chunks);

  const std::vector<std::string> expected =
      GetParam().kept ? std::vector<std::string>{longLine, "next"} : std::vector<std::string>{"next"};
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(framer.isDiscarding());
}

INSTANTIATE_TEST_SUITE_P(Lines, Bound,
                         ::testing::Values(BoundCase{"at_bound_whole", 64, 1, true},
                                           BoundCase{"at_bound_in_pieces", 64, 8, true},
                                           BoundCase{"over_bound_whole", 65, 1, false},
                                           BoundCase{"over_bound_in_pieces", 65, 13, false},
                                           BoundCase{"far_over_bound_in_pieces", 1000, 50, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Bound, OverlongLineWithItsNewlineInOneChunk) {
  LineFramer framer(8);
  EXPECT_EQ(frame(framer, {"123456789\n12345678\n"}), std::vector<std::string>{"12345678"});
}

TEST(Bound, DefaultIsOneMebibyteAndPendingBytesStayWithinIt) {
  LineFramer framer;
  const std::string chunk(4096, 'y');
  std::size_t largestPending = 0;
  std::vector<std::string> lines;
  const auto collect = [&lines](std::string_view line) { lines.emplace_back(line); };
  for (int i = 0; i < 300; ++i) {  // 1.2 MiB without a newline
    framer.push(chunk, collect);
    largestPending = std::max(largestPending, framer.pendingSize());
  }
  EXPECT_TRUE(framer.isDiscarding());
  EXPECT_EQ(largestPending, std::size_t{1} << 20);
  framer.push("tail\n{\"action\":\"clearTimer\"}\n", collect);
  EXPECT_EQ(lines, std::vector<std::string>{"{\"action\":\"clearTimer\"}"});
}

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
};

class Utf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, ValidatesStrictly) {
  EXPECT_EQ(isValidUtf8(GetParam().bytes), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Utf8,
    ::testing::Values(
        Utf8Case{"empty", "", true}, Utf8Case{"ascii", "{\"action\":\"toggleApp\"}", true},
        Utf8Case{"nul", std::string("\0", 1), true}, Utf8Case{"two_bytes", "\xC3\xA9", true},
        Utf8Case{"lowest_two_bytes", "\xC2\x80", true}, Utf8Case{"three_bytes", "\xE2\x82\xAC", true},
        Utf8Case{"last_before_surrogates", "\xED\x9F\xBF", true},
        Utf8Case{"first_after_surrogates", "\xEE\x80\x80", true},
        Utf8Case{"four_bytes", "\xF0\x9F\x98\x80", true},
        Utf8Case{"highest_code_point", "\xF4\x8F\xBF\xBF", true},
        Utf8Case{"replacement_character", "\xEF\xBF\xBD", true}, Utf8Case{"lone_continuation", "\x80", false},
        Utf8Case{"overlong_c0", "\xC0\xAF", false}, Utf8Case{"overlong_c1", "\xC1\xBF", false},
        Utf8Case{"overlong_three_bytes", "\xE0\x9F\xBF", false},
        Utf8Case{"overlong_four_bytes", "\xF0\x8F\xBF\xBF", false},
        Utf8Case{"surrogate_low_end", "\xED\xA0\x80", false},
        Utf8Case{"surrogate_high_end", "\xED\xBF\xBF", false},
        Utf8Case{"above_maximum", "\xF4\x90\x80\x80", false}, Utf8Case{"lead_f5", "\xF5\x80\x80\x80", false},
        Utf8Case{"byte_ff", "\xFF", false}, Utf8Case{"truncated_two", "a\xC3", false},
        Utf8Case{"truncated_three", "\xE2\x82", false}, Utf8Case{"truncated_four", "\xF0\x9F\x98", false},
        Utf8Case{"bad_third_byte", "\xE2\x82\x41", false},
        Utf8Case{"bad_fourth_byte", "\xF0\x9F\x98\xC0", false},
        Utf8Case{"valid_then_invalid", "{\"a\":\"\xC3\xA9\"}\xFE", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellmor
