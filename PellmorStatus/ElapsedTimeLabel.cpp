#include "ElapsedTimeLabel.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

namespace pellmor {
namespace {

constexpr std::string_view unrepresentable = "-:--";
// A new start time shows within this many seconds, as it would with a refresh every second.
constexpr double pickUpDelay = 1.0;
// How far ahead a change of text is looked for: 2^32 s, more than a century.
constexpr double searchHorizon = 4294967296.0;

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

std::string textAt(const ElapsedTimeLabel::Inputs& inputs, double now) {
  const double seconds = ElapsedTimeLabel::elapsedSeconds(inputs.startTime, inputs.hoursWithoutTimer, now);
  return ElapsedTimeLabel::format(seconds, inputs.timeFormat, inputs.decimalSymbol);
}

}  // namespace

ElapsedTimeLabel::ElapsedTimeLabel(Inputs inputs, const platform::Clock& clock,
                                   platform::TickerFactory& tickers, std::function<void()> onTextChange)
    : inputs_(std::move(inputs)), clock_(clock), tickers_(tickers), onTextChange_(std::move(onTextChange)) {}

ElapsedTimeLabel::~ElapsedTimeLabel() = default;

void ElapsedTimeLabel::appear() {
  if (!timer_) timer_ = tickers_.makeWallClockTimer([this] { fired(); });
  updateElapsedTime();
}

void ElapsedTimeLabel::update(Inputs inputs) {
  const bool shownFiguresChange = inputs.hoursWithoutTimer != inputs_.hoursWithoutTimer ||
                                  inputs.timeFormat != inputs_.timeFormat ||
                                  inputs.decimalSymbol != inputs_.decimalSymbol;
  const bool startTimeChanges = inputs.startTime != inputs_.startTime;
  inputs_ = std::move(inputs);
  if (shownFiguresChange) return updateElapsedTime();
  if (!startTimeChanges) return;
  // Without a start time the text stays as last computed, and nothing can change it.
  if (!inputs_.startTime) return fireAt(std::nullopt);
  const double pickUp = clock_.now() + pickUpDelay;
  fireAt(armedFor_ ? std::min(*armedFor_, pickUp) : pickUp);
}

void ElapsedTimeLabel::updateElapsedTime() {
  const double now = clock_.now();
  store(textAt(inputs_, now));
  fireAt(nextTextChange(inputs_, now));
}

std::optional<double> ElapsedTimeLabel::nextTextChange(const Inputs& inputs, double now) {
  if (!inputs.startTime) return std::nullopt;
  // The total only grows with time, and so does the figure it rounds to: a text, once changed, never
  // comes back. So a doubling search brackets the change and a bisection narrows it down to adjacent
  // doubles, both on the formatter itself, which no second copy of its rounding could disagree with.
  const std::string shown = textAt(inputs, now);
  double unchanged = now;
  double step = 1;
  while (textAt(inputs, now + step) == shown) {
    if (step >= searchHorizon) return std::nullopt;
    unchanged = now + step;
    step *= 2;
  }
  double changed = now + step;
  for (;;) {
    const double middle = unchanged + (changed - unchanged) / 2;
    if (!(middle > unchanged && middle < changed)) return changed;
    if (textAt(inputs, middle) == shown) {
      unchanged = middle;
    } else {
      changed = middle;
    }
  }
}

double ElapsedTimeLabel::elapsedSeconds(std::optional<double> startTime, double hoursWithoutTimer,
                                        double now) {
  const double withoutTimer = hoursWithoutTimer * 3600;
  return startTime ? (now - *startTime) + withoutTimer : withoutTimer;
}

std::string ElapsedTimeLabel::format(double elapsedSeconds, std::string_view timeFormat,
                                     std::string_view decimalSymbol) {
  if (!std::isfinite(elapsedSeconds)) return std::string(unrepresentable);
  // A start time a little in the future (the two processes' clocks differ) must not show "0:-2", and a
  // negative zero must not show "-0.00".
  const double seconds = elapsedSeconds > 0 ? elapsedSeconds : 0.0;
  if (timeFormat == "decimal") return decimalHours(seconds, decimalSymbol);
  return hoursAndMinutes(seconds);
}

void ElapsedTimeLabel::fired() {
  armedFor_.reset();
  if (inputs_.startTime) updateElapsedTime();
}

void ElapsedTimeLabel::fireAt(std::optional<double> instant) {
  if (!timer_ || instant == armedFor_) return;
  armedFor_ = instant;
  if (instant) {
    timer_->fireAt(*instant);
  } else {
    timer_->disarm();
  }
}

void ElapsedTimeLabel::store(std::string text) {
  if (text == elapsedTime_) return;
  elapsedTime_ = std::move(text);
  if (onTextChange_) onTextChange_();
}

}  // namespace pellmor
