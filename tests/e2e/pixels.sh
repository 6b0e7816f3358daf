#!/usr/bin/env bash
# What the screen shows: the coloured segment where it belongs, the timer artwork beside it, and the
# panel's own colour in the padding and outside the rounded corners.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22
wait_for_title "PlayButton|-:--"
read -r x y _ _ <<<"$(geometry_of "$(item_window)")"

segment=$(segment_colour)
artwork=$(convert "$RESOURCES/PlayButton.png" -format '%[fx:round(255*p{1,1}.r)] %[fx:round(255*p{1,1}.g)] %[fx:round(255*p{1,1}.b)]' info:)

# Each case: what, where relative to the item (the 16 high row starts 3 below its top), the colour
# expected ("tray" is the panel's own), the tolerance per channel. The corner pixels are partly covered
# by the antialiased curve: a tolerance of 80 still means "more tray than item", as the item's colours
# lie over 130 away from the tray's in some channel.
cases=(
  "coloured segment, left|24 5|$segment|0"
  "coloured segment, right end|59 11|$segment|0"
  "timer button artwork|3 4|$artwork|0"
  "padding|0 11|tray|0"
  "above the row|30 1|tray|0"
  "outside the top-left corner|2 3|tray|80"
  "outside the bottom-right corner|60 18|tray|80"
  "square inner corner of the segment|22 18|$segment|0"
)
# Screenshots until the item's first paint shows every case; the last one's mismatches are the failure.
mismatches() {
  local tray what where expected tolerance dx dy actual
  screenshot
  tray=$(pixel_at $((x - 1)) $((y + 11)))  # the panel just left of the item
  for case in "${cases[@]}"; do
    IFS='|' read -r what where expected tolerance <<<"$case"
    read -r dx dy <<<"$where"
    [ "$expected" != tray ] || expected=$tray
    actual=$(pixel_at $((x + dx)) $((y + dy)))
    colour_near "$actual" "$expected" "$tolerance" || echo "$what at +$dx+$dy: expected $expected, got $actual;"
  done
}
painted() { [ -z "$(mismatches)" ]; }
wait_until painted || fail "$(mismatches)"
pass "every pixel as expected"
tray=$(pixel_at $((x - 1)) $((y + 11)))
for colour in "$segment" "$artwork"; do
  colour_near "$tray" "$colour" 40 && fail "the tray looks like the item ($colour); the corner checks prove nothing"
done
pass "tray colour $tray differs from the item's"
