#include "CommandLine.h"

#include <algorithm>
#include <iterator>

namespace pellmor {
namespace {

constexpr std::string_view usageText =
    "usage: PellmorStatus [--help | --version]\n"
    "\n"
    "The menu-bar companion of the Pellmor time-tracking application. It puts one item\n"
    "into the X11 system tray (with no display it serves its channel without one) and\n"
    "exchanges JSON lines with the main application over two FIFOs in\n"
    "$XDG_RUNTIME_DIR/" PELLMOR_APP_GROUP_IDENTIFIER
    "/.\n"
    "It needs no argument; any other argument is ignored with a warning.\n"
    "SIGTERM, SIGINT or SIGHUP end it. See PellmorStatus(1).\n"
    "\n"
    "  --help      show this text and exit\n"
    "  --version   show the version and exit\n";

bool contains(const std::vector<std::string_view>& arguments, std::string_view wanted) {
  return std::find(arguments.begin(), arguments.end(), wanted) != arguments.end();
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
  if (contains(arguments, "--help")) return {0, std::string(usageText), ""};
  if (contains(arguments, "--version")) return {0, "PellmorStatus " PELLMOR_VERSION "\n", ""};
  if (arguments.empty()) return {};
  return {std::nullopt, "", ignoredWarning(arguments)};
}

}  // namespace pellmor
