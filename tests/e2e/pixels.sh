#!/usr/bin/env bash
# What the screen shows: the coloured segment where it belongs, the timer artwork beside it, and the
# panel's own colour outside the rounded corners and in the padding.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22
wait_for_title "PlayButton|-:--"
sleep 0.3  # one paint after the title
read -r x y _ _ <<<"$(geometry_of "$(item_window)")"
top=$((y + 3))  # the 16 high row is centred in the 22 high item

segment=$(hex_to_rgb "$(cat "$RESOURCES/StatusItemBackground.colour")")
artwork=$(convert "$RESOURCES/PlayButton.png" -format '%[fx:round(255*p{1,1}.r)] %[fx:round(255*p{1,1}.g)] %[fx:round(255*p{1,1}.b)]' info:)
screenshot
# The tray's own colour: the panel just left of the item. The item shows it in its padding and outside
# its rounded corners.
tray=$(pixel_at $((x - 1)) $((y + 11)))
padding=$(pixel_at "$x" $((y + 11)))

# Each case: what, where relative to the item, the colour expected, the tolerance per channel. The
# corner pixels are partly covered by the antialiased curve: a tolerance of 80 still means "more tray
# than item", as the item's colours lie over 130 away from the tray's in some channel.
cases=(
  "coloured segment, left|24 $((top - y + 2))|$segment|0"
  "coloured segment, right end|59 $((top - y + 8))|$segment|0"
  "timer button artwork|3 $((top - y + 1))|$artwork|0"
  "leading padding|0 11|$tray|0"
  "trailing padding|62 11|$padding|0"
  "above the row|30 1|$padding|0"
  "below the row|30 20|$padding|0"
  "outside the top-left corner|2 3|$padding|80"
  "outside the bottom-left corner|2 18|$padding|80"
  "outside the top-right corner|60 3|$padding|80"
  "outside the bottom-right corner|60 18|$padding|80"
  "inside the top-left corner|4 5|$artwork|0"
  "inside the bottom-right corner|58 16|$segment|0"
  "square inner corner of the button|21 3|$artwork|0"
  "square inner corner of the segment|22 18|$segment|0"
)
for case in "${cases[@]}"; do
  IFS='|' read -r what where expected tolerance <<<"$case"
  read -r dx dy <<<"$where"
  actual=$(pixel_at $((x + dx)) $((y + dy)))
  colour_near "$actual" "$expected" "$tolerance" || fail "$what at +$dx+$dy: expected $expected, got $actual"
  pass "$what: $actual"
done
for colour in "$segment" "$artwork"; do
  colour_near "$padding" "$colour" 40 && fail "the tray looks like the item ($colour); the corner checks prove nothing"
done
pass "tray colour $padding differs from the item's"
