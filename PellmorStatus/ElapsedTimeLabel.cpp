#include "ElapsedTimeLabel.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

namespace pellmor {
namespace {

constexpr std::string_view unrepresentable = "-:--";
constexpr auto tickInterval = std::chrono::milliseconds(1000);

// "%.2f" as the C locale writes it, whatever the process locale: to_chars never consults a locale and
// rounds correctly, as printf does.
std::string fixedTwoDecimals(double value) {
  // The largest finite double has 309 integer digits.
  std::array<char, 400> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 2);
  return std::string(buffer.data(), result.ptr);
}

std::string replacePoints(std::string_view text, std::string_view symbol) {
  std::string replaced;
  for (const char character : text) {
    if (character == '.') {
      replaced += symbol;
    } else {
      replaced += character;
    }
  }
  return replaced;
}

std::string decimalHours(double seconds, std::string_view decimalSymbol) {
  return replacePoints(fixedTwoDecimals(seconds / 3600), decimalSymbol);
}

std::string hoursAndMinutes(double seconds) {
  const double roundedSeconds = std::round(seconds / 60) * 60;  // whole minutes, halves away from zero
  // 2^63 is the first value beyond a signed 64-bit count.
  if (!(roundedSeconds < 9223372036854775808.0)) return std::string(unrepresentable);
  const auto total = static_cast<std::int64_t>(roundedSeconds);
  const std::int64_t hours = total / 3600;
  const std::int64_t minutes = (total - hours * 3600) / 60;
  if (hours > std::numeric_limits<int>::max()) return std::string(unrepresentable);
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%d:%02d", static_cast<int>(hours), static_cast<int>(minutes));
  return buffer.data();
}

}  // namespace

ElapsedTimeLabel::ElapsedTimeLabel(Inputs inputs, const platform::Clock& clock,
                                   platform::TickerFactory& tickers, std::function<void()> onTextChange)
    : inputs_(std::move(inputs)), clock_(clock), tickers_(tickers), onTextChange_(std::move(onTextChange)) {}

ElapsedTimeLabel::~ElapsedTimeLabel() = default;

void ElapsedTimeLabel::appear() {
  updateElapsedTime();
  if (!timer_) timer_ = tickers_.startRepeating(tickInterval, [this] { tick(); });
}

void ElapsedTimeLabel::update(Inputs inputs) {
  const bool shownFiguresChange = inputs.hoursWithoutTimer != inputs_.hoursWithoutTimer ||
                                  inputs.timeFormat != inputs_.timeFormat ||
                                  inputs.decimalSymbol != inputs_.decimalSymbol;
  inputs_ = std::move(inputs);
  // A new start time alone waits for the next tick.
  if (shownFiguresChange) updateElapsedTime();
}

void ElapsedTimeLabel::updateElapsedTime() {
  const double seconds = elapsedSeconds(inputs_.startTime, inputs_.hoursWithoutTimer, clock_.now());
  store(format(seconds, inputs_.timeFormat, inputs_.decimalSymbol));
}

double ElapsedTimeLabel::elapsedSeconds(std::optional<double> startTime, double hoursWithoutTimer,
                                        double now) {
  const double withoutTimer = hoursWithoutTimer * 3600;
  return startTime ? (now - *startTime) + withoutTimer : withoutTimer;
}

std::string ElapsedTimeLabel::format(double elapsedSeconds, std::string_view timeFormat,
                                     std::string_view decimalSymbol) {
  if (!std::isfinite(elapsedSeconds)) return std::string(unrepresentable);
  // A start time a little in the future (the two processes' clocks differ) must not show "0:-2".
  const double seconds = elapsedSeconds < 0 ? 0.0 : elapsedSeconds;
  if (timeFormat == "decimal") return decimalHours(seconds, decimalSymbol);
  return hoursAndMinutes(seconds);
}

void ElapsedTimeLabel::tick() {
  if (inputs_.startTime) updateElapsedTime();
}

void ElapsedTimeLabel::store(std::string text) {
  if (text == elapsedTime_) return;
  elapsedTime_ = std::move(text);
  if (onTextChange_) onTextChange_();
}

}  // namespace pellmor
