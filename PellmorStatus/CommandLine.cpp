#include "CommandLine.h"

#include <algorithm>
#include <iterator>

#include "Help/PellmorStatus.h"

namespace pellmor {
namespace {

bool containsEither(const std::vector<std::string_view>& arguments, std::string_view shortName,
                    std::string_view longName) {
  return std::any_of(arguments.begin(), arguments.end(), [&](std::string_view argument) {
    return argument == shortName || argument == longName;
  });
}

std::string ignoredWarning(const std::vector<std::string_view>& arguments) {
  std::string warning =
      arguments.size() == 1 ? "PellmorStatus: ignoring argument" : "PellmorStatus: ignoring arguments";
  for (std::string_view argument : arguments) {
    warning.append(" '");
    // Control characters would break the one line into several or move the terminal's cursor.
    std::transform(argument.begin(), argument.end(), std::back_inserter(warning),
                   [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c; });
    warning.append("'");
  }
  return warning + " (see --help)\n";
}

}  // namespace

CommandLineAnswer answerCommandLine(const std::vector<std::string_view>& arguments) {
  if (containsEither(arguments, "-h", "--help")) return {0, std::string(help::PellmorStatus), ""};
  if (containsEither(arguments, "-V", "--version")) return {0, "PellmorStatus " PELLMOR_VERSION "\n", ""};
  if (arguments.empty()) return {};
  return {std::nullopt, "", ignoredWarning(arguments)};
}

}  // namespace pellmor
