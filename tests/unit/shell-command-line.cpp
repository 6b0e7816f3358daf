// The companion's arguments: --help and --version answer and end the process; anything else is ignored
// with one warning line, and the companion runs as without it.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"

namespace pellmor {
namespace {

struct ArgumentsCase {
  const char* name;
  std::vector<std::string_view> arguments;
  std::optional<int> exitStatus;
  std::string standardOutput;  // "<usage>" stands for the usage text
  std::string standardError;
};

class Arguments : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(Arguments, AnswerExactly) {
  const CommandLineAnswer answer = answerCommandLine(GetParam().arguments);
  EXPECT_EQ(answer.exitStatus, GetParam().exitStatus);
  if (GetParam().standardOutput == "<usage>") {
    EXPECT_TRUE(answer.standardOutput.starts_with("usage: PellmorStatus [--help | --version]\n"))
        << answer.standardOutput;
  } else {
    EXPECT_EQ(answer.standardOutput, GetParam().standardOutput);
  }
  EXPECT_EQ(answer.standardError, GetParam().standardError);
}

const std::string version = "PellmorStatus " PELLMOR_VERSION "\n";

const ArgumentsCase argumentsCases[] = {
    {"none", {}, std::nullopt, "", ""},
    {"help", {"--help"}, 0, "<usage>", ""},
    {"version", {"--version"}, 0, version, ""},
    {"help_wins_over_version", {"--version", "--help"}, 0, "<usage>", ""},
    {"several_foreign_in_one_line",
     {"--verbose", "x y", ""},
     std::nullopt,
     "",
     "PellmorStatus: ignoring arguments '--verbose' 'x y' '' (see --help)\n"},
    {"control_characters_stay_on_the_line",
     {"a\nb\x1b[2J\x7f"},
     std::nullopt,
     "",
     "PellmorStatus: ignoring argument 'a?b?[2J?' (see --help)\n"},
};

INSTANTIATE_TEST_SUITE_P(Table, Arguments, ::testing::ValuesIn(argumentsCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellmor
