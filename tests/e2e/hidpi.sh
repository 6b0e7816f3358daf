#!/usr/bin/env bash
# On a screen at twice the density the item is 63 x 22 points in 126 x 44 pixels, draws the 2x artwork
# pixel for pixel, and reports its position in points.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
TRAY_HEIGHT=46 start_tray  # its slot is 2 pixels less: 44, the item's own height
export QT_SCALE_FACTOR=2
start_companion
wait_for_docked_size 126x44
wait_for_title "PlayButton|-:--"
check_position "in points" 2

# The timer button's glyph, away from the rounded corners: on screen at (2, 3) points into the item.
read -r ix iy _ _ <<<"$(geometry_of "$(item_window)")"
glyph="28x24+8+4"
convert "$RESOURCES/PlayButton@2x.png" -crop "$glyph" +repage "$E2E_DIR/double.png"
convert "$RESOURCES/PlayButton.png" -filter point -resize 200% -crop "$glyph" +repage "$E2E_DIR/single.png"
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
drawn_as_double() {
  screenshot
  convert "$E2E_DIR/shot.png" -crop "28x24+$((ix + 4 + 8))+$((iy + 6 + 4))" +repage "$E2E_DIR/drawn.png"
  [ "$(differing "$E2E_DIR/drawn.png" "$E2E_DIR/double.png")" = 0 ]
}
wait_until drawn_as_double || fail "$(differing "$E2E_DIR/drawn.png" "$E2E_DIR/double.png") pixels differ from the 2x artwork"
pass "the 2x artwork drawn pixel for pixel"
[ "$(differing "$E2E_DIR/single.png" "$E2E_DIR/double.png")" != 0 ] ||
  fail "the 1x artwork enlarged looks like the 2x one; the check above proves nothing"
