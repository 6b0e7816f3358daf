#!/usr/bin/env bash
# Draws the status item's artwork into resources/: the timer button images PlayButton, PauseButton and
# StopButton at 20 x 16 points, at 1x, 2x, 3x, 4x and 6x, and the colours StatusItemBackground and
# TimerButtonBackground. Each density is drawn at its own pixel size (not scaled from another), so every
# one is crisp; the painter takes the least that needs no enlarging (the row at 6x is a 32 px bar at 3x).
# Needs ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")/../resources"

button_fill='#2B2F36'   # the timer button: a dark slate behind a white glyph
segment_fill='#2F6BDE'  # the coloured segment behind the white time
printf '%s\n' "$segment_fill" > StatusItemBackground.colour
printf '%s\n' "$button_fill" > TimerButtonBackground.colour

# draw NAME SCALE PRIMITIVE...: a 20 x 16 point image at SCALE, primitives given in points.
draw() {
  local name=$1 scale=$2
  shift 2
  local suffix=""
  [ "$scale" -eq 1 ] || suffix="@${scale}x"
  local args=()
  for primitive in "$@"; do args+=(-draw "scale $scale,$scale $primitive"); done
  convert -size "$((20 * scale))x$((16 * scale))" "xc:$button_fill" -fill white -stroke none "${args[@]}" \
    -define png:exclude-chunks=date,time -strip "PNG32:${name}${suffix}.png"
}

for scale in 1 2 3 4 6; do
  draw PlayButton "$scale" "polygon 7.5,4 7.5,12 14,8"
  draw PauseButton "$scale" "rectangle 7,4 9,12" "rectangle 11,4 13,12"
  draw StopButton "$scale" "roundrectangle 6.5,4.5 13.5,11.5 1,1"
done
