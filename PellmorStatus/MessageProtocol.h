#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace pellmor {

// A decoded incoming message: a JSON object.
using Message = nlohmann::json;

// Where the status item sits: its left edge and width on screen, and the top edge and height of the bar
// that holds it, in points, with y measured downwards from the top edge of the first screen.
struct PositionRecord {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  friend bool operator==(const PositionRecord&, const PositionRecord&) = default;
};

// The JSON line protocol: one object per line, UTF-8, written compactly.
namespace protocol {

// The only values "setTimeFormat" and "setDecimalSymbol" accept; any other leaves the state alone.
inline constexpr std::array<std::string_view, 2> timeFormats{"hours_minutes", "decimal"};
inline constexpr std::array<std::string_view, 2> decimalSymbols{".", ","};

// Containers nested deeper than this in an incoming line refuse the line, like text that is not JSON.
// The main application sends flat objects; the bound only keeps absurd nesting off the stack, since
// rendering a value recurses once per level.
inline constexpr int maxNesting = 128;

// The object on the line, or nothing when the line is not JSON (ill-formed UTF-8 included), its top level
// is not an object, or it nests deeper than maxNesting.
std::optional<Message> decodeObject(std::string_view line);

// Every key and value of a message on one line, for the diagnostic lines.
std::string render(const Message& message);

// The finite number under `key`, or nothing.
std::optional<double> numberAt(const Message& message, const char* key);
// The boolean under "value", or nothing.
std::optional<bool> booleanValue(const Message& message);
// The string under "value" when it is exactly one of the accepted texts, or nothing.
std::optional<std::string> acceptedStringValue(const Message& message,
                                               const std::array<std::string_view, 2>& accepted);

// The line of an outgoing message whose only key is "action".
std::string encodeAction(std::string_view action);
// The line of the "menubarPosition" answer.
std::string encodePosition(const PositionRecord& position);

}  // namespace protocol
}  // namespace pellmor
