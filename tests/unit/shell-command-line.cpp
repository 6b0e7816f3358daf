// The companion's arguments: --help and --version answer and end the process; anything else is ignored
// with one warning line, and the companion runs as without it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"

namespace pellmor {
namespace {

TEST(Arguments, AnswerExactly) {
  const std::string usage = "usage: PellmorStatus [--help | --version]\n";
  const std::string version = "PellmorStatus " PELLMOR_VERSION "\n";
  const struct {
    std::vector<std::string_view> arguments;
    std::optional<int> exitStatus;
    ::testing::Matcher<std::string> standardOutput;
    std::string standardError;
  } table[] = {
      {{}, std::nullopt, "", ""},
      {{"--help"}, 0, ::testing::StartsWith(usage), ""},
      {{"--version"}, 0, version, ""},
      {{"--version", "--help"}, 0, ::testing::StartsWith(usage), ""},
      {{"--verbose", "x y", ""},
       std::nullopt,
       "",
       "PellmorStatus: ignoring arguments '--verbose' 'x y' '' (see --help)\n"},
      // Control characters stay on the line.
      {{"a\nb\x1b[2J\x7f"}, std::nullopt, "", "PellmorStatus: ignoring argument 'a?b?[2J?' (see --help)\n"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(::testing::PrintToString(row.arguments));
    const CommandLineAnswer answer = answerCommandLine(row.arguments);
    EXPECT_EQ(answer.exitStatus, row.exitStatus);
    EXPECT_THAT(answer.standardOutput, row.standardOutput);
    EXPECT_EQ(answer.standardError, row.standardError);
  }
}

}  // namespace
}  // namespace pellmor
