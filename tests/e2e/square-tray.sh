#!/usr/bin/env bash
# In a tray whose slots are small squares (icewm: 32 x 24) the item keeps to its slot and draws its
# compact form: the timer image above the text. Left clicks on the image and on the text, the middle
# button and both entries of the right-click menu run their actions; when the tray exits, the item's
# window leaves the screen until a tray embeds it again.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_square_tray
start_companion
wait_for_docked_size 32x24
wait_for_title "PlayButton|-:--"

ctl show-timer --started-ago 3930 --hours 0
wait_for_title "PauseButton|1:06"
ctl set-authenticated false
wait_for_title "PauseButton|Sign In"
# The item asks for 76 x 22; icewm keeps its slot, and the item takes the slot's size again.
wait_until 10 item_size_is 32x24 || fail "the item stays out of its slot: $(geometry_of "$(item_window)")"
pass "back in its 32 x 24 slot after asking for 76 x 22"
check_position "in the slot"
ctl set-authenticated true
wait_for_title "PauseButton|1:06"
wait_until 10 item_size_is 32x24 || fail "the item stays out of its slot: $(geometry_of "$(item_window)")"

# The picture: the coloured background around the scaled artwork above, white text below. The item
# settles into the slot a moment after the tray resized it: the whole slot is drawn once its bottom row
# shows the background.
read -r x y _ _ <<<"$(geometry_of "$(item_window)")"
segment=$(hex_to_rgb "$(cat "$RESOURCES/StatusItemBackground.colour")")
artwork=$(convert "$RESOURCES/PauseButton.png" -format '%[fx:round(255*p{1,1}.r)] %[fx:round(255*p{1,1}.g)] %[fx:round(255*p{1,1}.b)]' info:)
slot_filled() {
  screenshot
  colour_near "$(pixel_at $((x + 16)) $((y + 23)))" "$segment" 8
}
wait_until 10 slot_filled || fail "the slot's bottom row is not the item's: $(pixel_at $((x + 16)) $((y + 23)))"
cases=(
  "background beside the image|3 5|$segment|0"
  "artwork's own background, scaled|11 1|$artwork|8"
)
for case in "${cases[@]}"; do
  IFS='|' read -r what where expected tolerance <<<"$case"
  read -r dx dy <<<"$where"
  actual=$(pixel_at $((x + dx)) $((y + dy)))
  colour_near "$actual" "$expected" "$tolerance" || fail "$what at +$dx+$dy: expected $expected, got $actual"
  pass "$what: $actual"
done
# The text "1:06" in white in the lower part: its brightest pixel is close to white.
text_light=$(convert "$E2E_DIR/shot.png" -crop "32x13+$x+$((y + 11))" -colorspace gray -format '%[fx:round(255*maxima)]' info:)
[ "$text_light" -ge 220 ] || fail "no white text below the image (brightest $text_light)"
pass "white text below the image ($text_light)"

timer='{"action":"toggleTimer"}'
app='{"action":"toggleApp"}'
expect_eq "left click on the image" "$(listen_after xdotool mousemove $((x + 16)) $((y + 4)) click 1)" "$timer"
expect_eq "left click on the text" "$(listen_after xdotool mousemove $((x + 16)) $((y + 18)) click 1)" "$app"
expect_eq "middle click on the text" "$(listen_after xdotool mousemove $((x + 16)) $((y + 18)) click 2)" "$timer"
expect_eq "menu entry 1" "$(listen_after choose_from_menu 1)" "$timer"
expect_eq "menu entry 2" "$(listen_after choose_from_menu 2)" "$app"
expect_eq "standard output" "$(companion_lines)" "Toggling timer
Toggling main app
Toggling timer
Toggling timer
Toggling main app"

window=$(item_window)
stop_tray
item_withdrawn() { ! item_mapped && [ "$(panel_of "$window")" = "$window" ]; }
wait_until 10 item_withdrawn || fail "the item's window stays on screen after the tray exited: $(geometry_of "$window")"
pass "withdrawn after the tray exited"

start_square_tray
wait_for_docked_size 32x24
wait_for_title "PauseButton|1:06"
