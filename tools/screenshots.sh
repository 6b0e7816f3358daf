#!/usr/bin/env bash
# Takes the README's pictures of each display state (docs/images/*.png): the companion docked into a real
# system tray (trayer) on a virtual X server, driven with pellmorctl, the tray's panel cut from a
# screenshot and enlarged four times without smoothing. Uses the debug build in build/debug unless
# COMPANION and PELLMORCTL name other executables.
set -euo pipefail
# shellcheck source=tools/pictures.sh
source "$(dirname "$0")/pictures.sh"
start_tray
start_companion
wait_for_docked_size 63x22 >/dev/null

# The tray's panel.
panel_region() {
  local x y w h
  read -r x y w h <<<"$(geometry_of "$(panel_of "$(item_window)")")"
  echo "${w}x${h}+${x}+${y}"
}

# Each state: the image's name, the title that proves the state is on screen, the pellmorctl commands.
states=(
  "sign-in|PlayButton|Sign In|set-authenticated false"
  "no-time|PlayButton|-:--|set-authenticated true;clear-timer"
  "running|PauseButton|1:06|show-timer --started-ago 3930 --hours 0"
  "decimal-comma|PauseButton|1,09|set-time-format decimal;set-decimal-symbol ,"
  "timestamps|StopButton|1:06|set-time-format hours_minutes;set-decimal-symbol .;set-timestamps-mode true"
)
for state in "${states[@]}"; do
  show_state "$state"
  settle_picture panel_region "$E2E_DIR/$name.png" || { echo "screenshots.sh: $name was never painted" >&2; exit 1; }
  convert "$E2E_DIR/$name.png" -filter point -resize 400% -strip "$images/$name.png"
  echo "$images/$name.png: $image|$text"
done
