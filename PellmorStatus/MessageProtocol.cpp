#include "MessageProtocol.h"

#include <algorithm>
#include <cmath>

namespace pellmor::protocol {

std::optional<Message> decodeObject(std::string_view line) {
  bool tooDeep = false;
  const Message::parser_callback_t refuseDeepContainers = [&tooDeep](int depth, Message::parse_event_t event,
                                                                     Message&) {
    const bool opensContainer =
        event == Message::parse_event_t::object_start || event == Message::parse_event_t::array_start;
    if (opensContainer && depth >= maxNesting) tooDeep = true;
    return !tooDeep;  // from then on nothing more is kept
  };
  Message message = Message::parse(line, refuseDeepContainers, false);
  if (tooDeep || message.is_discarded() || !message.is_object()) return std::nullopt;
  return message;
}

std::string render(const Message& message) {
  return message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<double> numberAt(const Message& message, const char* key) {
  const auto found = message.find(key);
  if (found == message.end() || !found->is_number()) return std::nullopt;
  const double number = found->get<double>();
  if (!std::isfinite(number)) return std::nullopt;
  return number;
}

std::optional<bool> booleanValue(const Message& message) {
  const auto found = message.find("value");
  if (found == message.end() || !found->is_boolean()) return std::nullopt;
  return found->get<bool>();
}

std::optional<std::string> acceptedStringValue(const Message& message,
                                               const std::array<std::string_view, 2>& accepted) {
  const auto found = message.find("value");
  if (found == message.end() || !found->is_string()) return std::nullopt;
  const auto& text = found->get_ref<const std::string&>();
  if (std::find(accepted.begin(), accepted.end(), text) == accepted.end()) return std::nullopt;
  return text;
}

std::string encodeAction(std::string_view action) {
  return Message{{"action", action}}.dump();
}

std::string encodePosition(const PositionRecord& position) {
  const Message answer = {{"action", "menubarPosition"},
                          {"x", position.x},
                          {"y", position.y},
                          {"width", position.width},
                          {"height", position.height}};
  return answer.dump();
}

}  // namespace pellmor::protocol
