#!/usr/bin/env bash
# The window title says "<image name>|<shown text>" and follows the running timer by the second, with no
# message: started 1 h 5 min and a few seconds ago, "1:05" turns into "1:06" on its own.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22
wait_for_title "PlayButton|-:--"  # a fresh channel: signed in, no timer
ctl set-authenticated false
wait_for_title "PlayButton|Sign In"
ctl set-authenticated true

# "1:05" shows for `margin` seconds before the tick that makes it "1:06"; on a machine too slow to see
# "1:05" first, try again with a wider margin.
timer_shown() { item_title | grep -qE '^PauseButton\|1:0[56]$'; }
for margin in 3 10 25; do
  ctl show-timer --started-at "$(awk -v now="$(date +%s.%N)" -v m="$margin" 'BEGIN {printf "%.3f", now - 3930 + m}')" --hours 0
  wait_until timer_shown || fail "no running timer shown"
  if title_is "PauseButton|1:05"; then
    wait_for_title "PauseButton|1:06"
    break
  fi
  [ "$margin" != 25 ] || fail "the title never showed 1:05 before 1:06"
done

ctl set-timestamps-mode true
ctl set-time-format decimal
ctl set-decimal-symbol ,
stop_and_decimal_comma() { item_title | grep -qE '^StopButton\|1,[01][0-9]$'; }
wait_until stop_and_decimal_comma || fail "title: expected StopButton with decimal hours, got '$(item_title)'"
pass "title '$(item_title)'"
