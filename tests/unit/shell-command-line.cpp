// The companion's arguments: -h, --help, -V and --version answer and end the process; anything else is
// ignored with one warning line, and the companion runs as without it. The help is its manual page's
// synopsis, options, environment (every variable the companion reads) and exit status.

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
  using ::testing::AllOf;
  using ::testing::HasSubstr;
  const ::testing::Matcher<std::string> usage =
      AllOf(::testing::StartsWith("SYNOPSIS\n  PellmorStatus [-h | --help | -V | --version]\n"),
            HasSubstr("\nOPTIONS\n"), HasSubstr("\nEXIT STATUS\n"), HasSubstr("\n  XDG_RUNTIME_DIR\n"),
            HasSubstr("\n  DISPLAY\n"), HasSubstr("\n  WAYLAND_DISPLAY\n"),
            HasSubstr("\n  DBUS_SESSION_BUS_ADDRESS\n"), HasSubstr("\n  PELLMOR_STATUS_HOST\n"));
  const std::string version = "PellmorStatus " PELLMOR_VERSION "\n";
  const struct {
    std::vector<std::string_view> arguments;
    std::optional<int> exitStatus;
    ::testing::Matcher<std::string> standardOutput;
    std::string standardError;
  } table[] = {
      {{}, std::nullopt, "", ""},
      {{"--help"}, 0, usage, ""},
      {{"-h"}, 0, usage, ""},
      {{"--version"}, 0, version, ""},
      {{"-V"}, 0, version, ""},
      {{"--version", "-h"}, 0, usage, ""},
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
