#!/usr/bin/env bash
# In fluxbox's 18 x 18 slot, too small for text, the item shows the timer state alone: the artwork
# scaled into the slot on the coloured background. A left click toggles the timer; the menu still reaches
# the main application.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_companion
start_fluxbox 18
wait_for_docked_size 18x18
ctl show-timer --started-ago 3930 --hours 0
wait_for_title "PauseButton|1:06"

read -r x y _ _ <<<"$(geometry_of "$(item_window)")"
segment=$(hex_to_rgb "$(cat "$RESOURCES/StatusItemBackground.colour")")
artwork=$(convert "$RESOURCES/PauseButton.png" -format '%[fx:round(255*p{1,1}.r)] %[fx:round(255*p{1,1}.g)] %[fx:round(255*p{1,1}.b)]' info:)
# The 20 x 16 artwork fitted into 18 x 18 is 18 x 14.4: the background shows above and below it.
drawn() {
  screenshot
  colour_near "$(pixel_at $((x + 9)) "$y")" "$segment" 8 && colour_near "$(pixel_at $((x + 2)) $((y + 9)))" "$artwork" 8
}
wait_until 10 drawn || fail "not the state alone: above $(pixel_at $((x + 9)) "$y"), left $(pixel_at $((x + 2)) $((y + 9)))"
pass "the artwork scaled into the slot on the coloured background"
light=$(convert "$E2E_DIR/shot.png" -crop "18x18+$x+$y" -colorspace gray -format '%[fx:round(255*maxima)]' info:)
[ "$light" -ge 220 ] || fail "no pause glyph in the slot (brightest $light)"
pass "the glyph shows ($light)"

expect_eq "left click" "$(listen_after xdotool mousemove $((x + 9)) $((y + 9)) click 1)" '{"action":"toggleTimer"}'
expect_eq "menu entry 2" "$(listen_after choose_from_menu 2)" '{"action":"toggleApp"}'
expect_eq "standard output" "$(companion_lines)" "Toggling timer
Toggling main app"
