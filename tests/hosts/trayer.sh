#!/usr/bin/env bash
# trayer, a tray that gives the item the width it asks for: the whole row, 22 high in a 24 high panel. The
# padding shows trayer's own tint, the slot grows when the item asks for more, and a running total
# advances by the minute with no message.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
start_tray
start_companion
wait_for_cell 63x22  # a fresh channel: signed in, no timer
# Where relative to the item (the 16 high row starts 3 below its top), the colour expected.
wait_for_paint 0 "coloured segment|24 5|$(segment_colour)" "padding|0 11|tray" "above the row|30 1|tray" \
  "timer button artwork|3 4|$(pixel_at "$RESOURCES/PlayButton.png" 1 1)"
# Signed out, the item asks for the width "Sign In" needs, and trayer gives it.
ctl set-authenticated false
wait_for_cell 76x22
ctl set-authenticated true
xembed_host_test 63x22 start_tray stop_tray

# The timer has run 1:05 and shows it for 20 seconds, then 1:06 without another message.
ctl show-timer --started-at "$(awk -v now="$(date +%s.%N)" 'BEGIN {printf "%.3f", now - 3930 + 20}')" --hours 0
wait_for_title "PauseButton|1:05"
wait_for_title "PauseButton|1:06"
