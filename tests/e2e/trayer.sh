#!/usr/bin/env bash
# In trayer, a tray that gives the item the width it asks for: the item docks at the content's width and
# 22 high and the tray follows a resize; the position answer is the item's left edge and width and its
# panel's top and height as X reports them; the screen shows the segment and the artwork with the tray's
# own colour in the padding; left clicks run each segment's action (the padding the item's own toggleApp,
# which prints nothing); the title follows the running timer by the second with no message.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22
wait_for_title "PlayButton|-:--"  # a fresh channel: signed in, no timer
check_position "signed in"

# Where relative to the item (the 16 high row starts 3 below its top), the colour expected.
segment=$(segment_colour)
artwork=$(pixel_at "$RESOURCES/PlayButton.png" 1 1)
wait_for_paint 0 "coloured segment|24 5|$segment" "timer button artwork|3 4|$artwork" "padding|0 11|tray" \
  "above the row|30 1|tray"
read -r x y _ _ <<<"$(geometry_of "$(item_window)")"
tray=$(pixel_at "$E2E_DIR/shot.png" $((x - 1)) $((y + 11)))
for colour in "$segment" "$artwork"; do
  colour_near "$tray" "$colour" 40 && fail "the tray looks like the item ($colour); the padding checks prove nothing"
done
pass "tray colour $tray differs from the item's"

# Each case: where relative to the item, the outgoing line.
for case in '12 11|{"action":"toggleTimer"}' '40 11|{"action":"toggleApp"}' '0 11|{"action":"toggleApp"}'; do
  read -r dx dy <<<"${case%%|*}"
  expect_eq "click at +$dx+$dy" "$(listen_after xdotool mousemove $((x + dx)) $((y + dy)) click 1)" "${case#*|}"
done
expect_eq "standard output" "$(companion_lines)" "Toggling timer
Toggling main app"

ctl set-authenticated false
wait_for_docked_size 76x22
wait_for_title "PlayButton|Sign In"
check_position "signed out"
ctl set-authenticated true

# "1:05" shows for `margin` seconds before the tick that makes it "1:06"; on a machine too slow to see
# "1:05" first, try again with a wider margin.
timer_shown() { item_titles | grep -qE '^PauseButton\|1:0[56]$'; }
for margin in 3 10 25; do
  ctl show-timer --started-at "$(awk -v now="$(date +%s.%N)" -v m="$margin" 'BEGIN {printf "%.3f", now - 3930 + m}')" --hours 0
  wait_until timer_shown || fail "no running timer shown"
  if title_is "PauseButton|1:05"; then
    wait_for_title "PauseButton|1:06"
    break
  fi
  [ "$margin" != 25 ] || fail "the title never showed 1:05 before 1:06"
done
