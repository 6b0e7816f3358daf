#!/usr/bin/env bash
# The item waits hidden while no tray runs. In trays whose slots are small squares it keeps to its slot and
# draws its compact form. In icewm's 32 x 24 slot: the timer image above the text, filling the slot; left
# clicks on the image and on the text, the middle button and both entries of the right-click menu run
# their actions; when the tray exits, the item's window leaves the screen until a tray embeds it again. In
# fluxbox's 18 x 18 slot, too small for text, it shows the timer state alone.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_companion
wait_for_title "PlayButton|-:--"
ctl show-timer --started-ago 3930 --hours 0
# Once the companion has handled a message, its set-up is long done: the item must still be hidden.
wait_for_title "PauseButton|1:06"
item_viewable && fail "shown without a tray"
pass "hidden while no tray runs"

start_square_tray
wait_for_slot 32x24
ctl set-authenticated false
wait_for_title "PauseButton|Sign In"
# The item asks for 76 x 22; icewm keeps its slot, and the item takes the slot's size again.
wait_for_slot 32x24
check_position "in the slot"
ctl set-authenticated true
wait_for_title "PauseButton|1:06"

# The item settles into the slot a moment after the tray resized it: drawn over the whole slot once its
# bottom row shows the coloured background.
segment=$(segment_colour)
wait_for_paint 8 "the slot's bottom row|16 23|$segment"

read -r x y _ _ <<<"$(geometry_of "$(item_window)")"
timer='{"action":"toggleTimer"}'
app='{"action":"toggleApp"}'
expect_eq "left click on the image" "$(listen_after xdotool mousemove $((x + 16)) $((y + 4)) click 1)" "$timer"
expect_eq "left click on the text" "$(listen_after xdotool mousemove $((x + 16)) $((y + 18)) click 1)" "$app"
expect_eq "middle click on the text" "$(listen_after xdotool mousemove $((x + 16)) $((y + 18)) click 2)" "$timer"
expect_eq "menu entry 1" "$(listen_after choose_from_menu 1)" "$timer"
expect_eq "menu entry 2" "$(listen_after choose_from_menu 2)" "$app"

stop_tray
wait_until item_withdrawn || fail "the item's window stays on screen after the tray exited"
pass "withdrawn after the tray exited"
start_square_tray
wait_for_slot 32x24
stop_tray

# The 20 x 16 artwork fitted into 18 x 18 is 18 x 14.4: the coloured background shows above it.
start_fluxbox 18
wait_for_slot 18x18
wait_for_paint 8 "above the artwork|9 0|$segment" "artwork|2 9|$(pixel_at "$RESOURCES/PauseButton.png" 1 1)"
