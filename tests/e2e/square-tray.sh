#!/usr/bin/env bash
# In trays whose slots are small squares the item keeps to its slot and draws its compact form. In icewm's
# 32 x 24 slot: the timer image above the text, filling the slot; left clicks on the image and on the text
# and the right-click menu run their actions; when the tray exits, the item's window leaves the screen
# until a tray embeds it again. In fluxbox's 18 x 18 slot, signed out, the words fill the slot alone.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_square_tray
start_companion
wait_for_slot 32x24

# The item settles into the slot a moment after the tray resized it: drawn over the whole slot once its
# bottom row shows the coloured background.
segment=$(segment_colour)
wait_for_paint 8 "the slot's bottom row|16 23|$segment"
read -r x y _ _ <<<"$(geometry_of "$(item_window)")"
expect_eq "left click on the image" "$(listen_after xdotool mousemove $((x + 16)) $((y + 4)) click 1)" \
  '{"action":"toggleTimer"}'
expect_eq "left click on the text" "$(listen_after xdotool mousemove $((x + 16)) $((y + 18)) click 1)" \
  '{"action":"toggleApp"}'
expect_eq "menu entry 2" "$(listen_after choose_from_menu 2)" '{"action":"toggleApp"}'
ctl set-authenticated false
wait_for_title "PlayButton|Sign In"
# The item asks for 76 x 22; icewm keeps its slot, and the item takes the slot's size again.
wait_for_slot 32x24
check_position "in the slot"

stop_tray
wait_until item_withdrawn || fail "the item's window stays on screen after the tray exited"
start_square_tray
wait_for_slot 32x24
stop_tray

# In 18 x 18, signed out, the words alone fill the slot on the coloured background: no timer button.
start_fluxbox 18
wait_for_slot 18x18
wait_for_paint 8 "above the words|9 0|$segment" "where a timer button would be|2 9|$segment"
