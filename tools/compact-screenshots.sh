#!/usr/bin/env bash
# Takes the README's pictures of the compact form (docs/images/compact-*.png): the companion docked into
# trays that give it less room than the full item, on a virtual X server: fluxbox with square slots of
# 16, 18, 22, 24, 25 and 32 pixels (its toolbar height), icewm (32 x 24) and trayer 18 pixels high (a row
# of 63 x 16). For each state one strip, the cells left to right in that order, each cut with two pixels
# of its tray around it and enlarged four times without smoothing. Uses the debug build in build/debug
# unless COMPANION and PELLMORCTL name other executables.
set -euo pipefail
# shellcheck source=tools/pictures.sh
source "$(dirname "$0")/pictures.sh"
start_companion

item_off_screen() { ! item_viewable; }
# The item with two pixels of its tray around it.
item_region() {
  local x y w h
  read -r x y w h <<<"$(geometry_of "$(item_window)")"
  echo "$((w + 4))x$((h + 4))+$((x - 2))+$((y - 2))"
}

# The last one is signed in: a tray sizes its slot when the item docks, and icewm gives a signed-out item,
# 76 wide, 24 x 24 rather than 32 x 24.
states=(
  "sign-in|PlayButton|Sign In|clear-timer;set-authenticated false"
  "no-time|PlayButton|-:--|set-authenticated true"
  "running|PauseButton|1:06|show-timer --started-ago 3930 --hours 0"
)
# Each host: how to start it, the cell it gives.
hosts=(
  "start_fluxbox 16|16x16" "start_fluxbox 18|18x18" "start_fluxbox 22|22x22" "start_fluxbox 24|24x24"
  "start_fluxbox 25|25x25" "start_fluxbox 32|32x32" "start_square_tray|32x24" "TRAY_HEIGHT=18 start_tray|63x16"
)
index=0
for host in "${hosts[@]}"; do
  eval "${host%%|*}"
  wait_for_slot "${host#*|}" >/dev/null
  for state in "${states[@]}"; do
    show_state "$state"
    settle_picture item_region "$E2E_DIR/$name-$index.png" ||
      { echo "compact-screenshots.sh: $name was never painted in ${host%%|*}" >&2; exit 1; }
  done
  stop_tray
  wait_until item_off_screen || fail "the item stayed on screen after its tray exited"
  index=$((index + 1))
done

for state in "${states[@]}"; do
  name=${state%%|*}
  pieces=()
  for ((i = 0; i < index; i++)); do pieces+=("$E2E_DIR/$name-$i.png"); done
  convert "${pieces[@]}" -bordercolor white -border 3x0 -background white -gravity center +append +repage \
    -filter point -resize 400% -strip "$images/compact-$name.png"
  echo "$images/compact-$name.png"
done
