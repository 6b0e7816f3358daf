#!/usr/bin/env bash
# Draws the status item's reference pictures anew (tests/desktop/reference/: each form in each state,
# as desktop-item-pictures-test compares them) and the README's enlarged strips of them
# (docs/images/forms-<state>.png: 16, 18, 22, 24, 32 x 24, 48, 64, 63 x 16 and 63 x 14 at 1x and the row at 1x,
# four times enlarged without smoothing, on the grey of a panel). Review the change with git diff before
# committing it: a change of look is a change of these pictures. Builds item-pictures in build/debug.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
reference=$root/tests/desktop/reference
images=$root/docs/images
cmake --build "$root/build/debug" --target item-pictures >/dev/null
mkdir -p "$reference" "$images"
rm -f "$reference"/*.png
"$root/build/debug/tests/item-pictures" "$reference"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for state in sign-in no-time stopped running timestamps; do
  pieces=()
  for cell in 16x16 18x18 22x22 24x24 32x24 48x48 64x64 63x16 63x14 row@1x; do
    convert "$reference/$state-$cell.png" -background '#d4d4d4' -flatten -filter point -resize 400% \
      "$work/$cell.png"
    pieces+=("$work/$cell.png")
  done
  convert "${pieces[@]}" -background '#d4d4d4' -bordercolor '#d4d4d4' -border 8x8 -gravity center +append \
    -strip "$images/forms-$state.png"
  echo "$images/forms-$state.png"
done
