#pragma once

#include <string>

#include "ElapsedTimeLabel.h"

namespace pellmor {

class FIFOManager;

// What the trailing segment holds.
enum class TrailingContent { signIn, placeholder, elapsedTime };

// What the status item shows, whatever form it takes: the timer image, what the trailing segment holds
// and its text. The defaults are those of a fresh channel.
struct DisplayState {
  std::string imageName = "PlayButton";
  TrailingContent trailing = TrailingContent::placeholder;
  std::string text = "-:--";
  friend bool operator==(const DisplayState&, const DisplayState&) = default;
};

// The timer image the channel selects: "PlayButton" with no timer, else "PauseButton", or "StopButton" in
// timestamps mode.
std::string imageNameFor(const FIFOManager& channel);
// "Sign In" while signed out, else the elapsed time when there are hours to show, else the placeholder.
TrailingContent trailingContentFor(const FIFOManager& channel);
// What the elapsed time label is built from.
ElapsedTimeLabel::Inputs labelInputsFor(const FIFOManager& channel);

}  // namespace pellmor
