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
  # The item paints after its title changes: the picture is taken once it differs from the last state's
  # and two in a row agree.
  read -r px py pw ph <<<"$(geometry_of "$(panel_of "$(item_window)")")"
  same() { compare -metric AE "$E2E_DIR/$1.png" "$E2E_DIR/$2.png" null: 2>/dev/null; }
  crop() { screenshot && convert "$E2E_DIR/shot.png" -crop "${pw}x${ph}+${px}+${py}" +repage "$E2E_DIR/$1.png"; }
  crop previous
  settled() {
    crop current && same previous current && ! same last-state current && return 0
    mv "$E2E_DIR/current.png" "$E2E_DIR/previous.png"
    return 1
  }
  wait_until settled || { echo "screenshots.sh: $name was never painted" >&2; exit 1; }
  cp "$E2E_DIR/current.png" "$E2E_DIR/last-state.png"
  convert "$E2E_DIR/current.png" -filter point -resize 400% -strip "$images/$name.png"
  echo "$images/$name.png: $image|$text"
done
