#!/usr/bin/env bash
# The window title says "<image name>|<shown text>" in every display state, and follows the running timer.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22

wait_for_title "PlayButton|-:--"  # a fresh channel: signed in, no timer

# Each step: a pellmorctl command, then the title it must lead to.
steps=(
  "set-authenticated false|PlayButton|Sign In"
  "set-authenticated true|PlayButton|-:--"
  "show-timer --hours 2.5|PlayButton|2:30"
  "show-timer --started-ago 60|PauseButton|-:--"
  "set-timestamps-mode true|StopButton|-:--"
  "set-timestamps-mode false|PauseButton|-:--"
  "clear-timer|PlayButton|-:--"
  "show-timer --hours 0.25|PlayButton|0:15"
  "set-time-format decimal|PlayButton|0.25"
  "set-decimal-symbol ,|PlayButton|0,25"
  "set-decimal-symbol .|PlayButton|0.25"
  "set-time-format hours_minutes|PlayButton|0:15"
  "set-authenticated false|PlayButton|Sign In"
  "set-authenticated true|PlayButton|0:15"
)
for step in "${steps[@]}"; do
  command=${step%%|*}
  # shellcheck disable=SC2086  # the command is words on purpose
  ctl $command
  wait_for_title "${step#*|}"
done

# A timer started 1 h 5 min 29 s ago shows 1:05 and, at the next tick, 1:06 by itself, with no message.
ctl show-timer --started-ago 3929 --hours 0
wait_for_title "PauseButton|1:05" 2
wait_for_title "PauseButton|1:06" 3
ctl set-timestamps-mode true
wait_for_title "StopButton|1:06"
ctl set-time-format decimal
wait_for_title "StopButton|1.09"
ctl set-decimal-symbol ,
wait_for_title "StopButton|1,09"
ctl set-authenticated false
wait_for_title "StopButton|Sign In"
