#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellmor {

// What the companion does with its arguments: "-h" or "--help" (the synopsis, options, environment and
// exit status of its manual page) and "-V" or "--version" print and end the process; any other argument
// is ignored with one warning line, because the main application may start the companion
// with arguments of its own and the companion must then run exactly as without them.
struct CommandLineAnswer {
  std::optional<int> exitStatus;  // set when the process ends at once
  std::string standardOutput;
  std::string standardError;
};

// `arguments` are the arguments after the program's name.
CommandLineAnswer answerCommandLine(const std::vector<std::string_view>& arguments);

}  // namespace pellmor
