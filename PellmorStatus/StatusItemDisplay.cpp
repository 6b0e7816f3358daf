#include "StatusItemDisplay.h"

#include "FIFOManager.h"

namespace pellmor {

std::string imageNameFor(const FIFOManager& channel) {
  if (!channel.timerStartedAt()) return "PlayButton";
  return channel.timestampsMode() ? "StopButton" : "PauseButton";
}

TrailingContent trailingContentFor(const FIFOManager& channel) {
  if (!channel.authenticated()) return TrailingContent::signIn;
  return channel.hoursWithoutTimer() ? TrailingContent::elapsedTime : TrailingContent::placeholder;
}

ElapsedTimeLabel::Inputs labelInputsFor(const FIFOManager& channel) {
  return ElapsedTimeLabel::Inputs{channel.timerStartedAt(), channel.hoursWithoutTimer().value_or(0),
                                  channel.timeFormat(), channel.decimalSymbol()};
}

}  // namespace pellmor
