#!/usr/bin/env bash
# In trayer, a tray that gives the item the width it asks for: the item docks at the content's width and
# 22 high and the tray follows a resize; the position answer is the item's left edge and width and its
# panel's top and height as X reports them; the screen shows the segment and the artwork with the tray's
# own colour (dark grey) in the padding; left clicks run each segment's action, and the right-click menu
# opens below the item; the title follows the running timer by the second with no message.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22
wait_for_title "PlayButton|-:--"  # a fresh channel: signed in, no timer

# Where relative to the item (the 16 high row starts 3 below its top), the colour expected.
wait_for_paint 0 "coloured segment|24 5|$(segment_colour)" "padding|0 11|tray" "above the row|30 1|tray" \
  "timer button artwork|3 4|$(pixel_at "$RESOURCES/PlayButton.png" 1 1)"
read -r x y _ _ <<<"$(geometry_of "$(item_window)")"
# Each case: where relative to the item, the outgoing line.
for case in '12 11|{"action":"toggleTimer"}' '40 11|{"action":"toggleApp"}'; do
  read -r dx dy <<<"${case%%|*}"
  expect_eq "click at +$dx+$dy" "$(listen_after xdotool mousemove $((x + dx)) $((y + dy)) click 1)" "${case#*|}"
done

expect_eq "menu entry 1" "$(listen_after choose_from_menu 1)" '{"action":"toggleTimer"}'

ctl set-authenticated false
wait_for_docked_size 76x22
wait_for_title "PlayButton|Sign In"
check_position "signed out"
ctl set-authenticated true

# The timer has run 1:05 and shows it for 20 seconds, then 1:06 without another message.
ctl show-timer --started-at "$(awk -v now="$(date +%s.%N)" 'BEGIN {printf "%.3f", now - 3930 + 20}')" --hours 0
wait_for_title "PauseButton|1:05"
wait_for_title "PauseButton|1:06"
