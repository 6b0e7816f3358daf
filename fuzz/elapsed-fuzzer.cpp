// Arbitrary start times, hours, formats and symbols through the elapsed-time arithmetic: it must never
// crash, trap on undefined behaviour, or produce anything but "-:--" or a well-formed total.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "ElapsedTimeLabel.h"

namespace {

bool isHoursAndMinutes(const std::string& text) {
  const auto colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || text.size() - colon != 3) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != colon && (text[i] < '0' || text[i] > '9')) return false;
  }
  return text[colon + 1] <= '5';
}

bool isDecimalHours(const std::string& text, const std::string& symbol) {
  if (text.size() < 3 + symbol.size()) return false;
  const std::size_t fractionAt = text.size() - 2;
  if (text.compare(fractionAt - symbol.size(), symbol.size(), symbol) != 0) return false;
  for (std::size_t i = 0; i < fractionAt - symbol.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return text[fractionAt] >= '0' && text[fractionAt] <= '9' && text[fractionAt + 1] >= '0' &&
         text[fractionAt + 1] <= '9';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const bool hasStart = provider.ConsumeBool();
  const double start = provider.ConsumeFloatingPoint<double>();
  const double hours = provider.ConsumeFloatingPoint<double>();
  const double now = provider.ConsumeFloatingPoint<double>();
  const bool decimal = provider.ConsumeBool();
  const std::string symbol = provider.ConsumeRandomLengthString(8);
  const std::string format = decimal ? "decimal" : provider.ConsumeRandomLengthString(16);

  const std::optional<double> startTime = hasStart ? std::optional<double>(start) : std::nullopt;
  const double elapsed = pellmor::ElapsedTimeLabel::elapsedSeconds(startTime, hours, now);
  const std::string text = pellmor::ElapsedTimeLabel::format(elapsed, format, symbol);

  if (text == "-:--") return 0;
  const bool wellFormed = format == "decimal" ? isDecimalHours(text, symbol) : isHoursAndMinutes(text);
  if (!wellFormed) std::abort();
  return 0;
}
