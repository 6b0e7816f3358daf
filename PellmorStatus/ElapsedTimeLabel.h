#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/Clock.h"
#include "Platform/Ticker.h"

namespace pellmor {

// The running total of time in the status item: hours and minutes ("1:06") or decimal hours ("1.09").
// While a timer runs it refreshes exactly when the text can change: at the instant the total rounds to a
// new figure, and when the wall clock is set. So at every moment it shows what a refresh every second
// would show, or already the next figure, and it does not wake up in between.
class ElapsedTimeLabel {
 public:
  struct Inputs {
    std::optional<double> startTime;  // seconds since 1970-01-01 UTC
    double hoursWithoutTimer = 0;
    std::string timeFormat;
    std::string decimalSymbol;
    friend bool operator==(const Inputs&, const Inputs&) = default;
  };

  // Inserted into the view tree: shows "0:00" until appear() computes the real text. onTextChange runs
  // after every store that changes the text.
  ElapsedTimeLabel(Inputs inputs, const platform::Clock& clock, platform::TickerFactory& tickers,
                   std::function<void()> onTextChange);
  // Removed from the view tree: the ticker stops and the text is discarded.
  ~ElapsedTimeLabel();
  ElapsedTimeLabel(const ElapsedTimeLabel&) = delete;
  ElapsedTimeLabel& operator=(const ElapsedTimeLabel&) = delete;

  // Shown: computes the text at once and arms the timer for its next change.
  void appear();
  // A rebuild with new inputs: the text survives; it is recomputed at once when the hours, the format or
  // the symbol differ from before. A new start time alone is picked up within one second, as a refresh
  // every second would.
  void update(Inputs inputs);

  // Recomputes the text from the clock and, while a timer runs, arms the timer for its next change.
  void updateElapsedTime();
  const std::string& elapsedTime() const { return elapsedTime_; }

  // The first instant after `now` at which the text for these inputs differs from the text at `now`;
  // none when it cannot change (no start time, "-:--", or not within a century).
  static std::optional<double> nextTextChange(const Inputs& inputs, double now);

  // Seconds elapsed since startTime (when present) plus the hours without timer.
  static double elapsedSeconds(std::optional<double> startTime, double hoursWithoutTimer, double now);
  // The text for a total of seconds. A negative total shows as zero; a total that is not finite or does
  // not fit the conversions shows "-:--".
  static std::string format(double elapsedSeconds, std::string_view timeFormat,
                            std::string_view decimalSymbol);

 private:
  void fired();
  void store(std::string text);
  void fireAt(std::optional<double> instant);

  Inputs inputs_;
  std::string elapsedTime_ = "0:00";
  const platform::Clock& clock_;
  platform::TickerFactory& tickers_;
  std::function<void()> onTextChange_;
  std::optional<double> armedFor_;  // the instant the timer fires at, while armed
  // Last member: the timer stops before anything it calls into goes away.
  std::unique_ptr<platform::WallClockTimer> timer_;
};

}  // namespace pellmor
