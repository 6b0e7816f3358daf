#!/usr/bin/env bash
# The position answer on a desktop of two pixels per point whose first (primary) monitor does not start at
# the root window's origin: the item's left edge and width and its panel's top and height, as X reports
# them, measured from that monitor's top-left corner and halved. Once with the scale from Xft.dpi and the
# first monitor to the right of another, once with QT_SCALE_FACTOR and the first monitor below another.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"

# Two monitors side by side or one above the other on the 1280 x 800 root (sizes in pixels and mm); the
# first, to Qt, is the primary one, named by its position.
set_monitors() {
  xrandr --setmonitor OTHER "$1" none >/dev/null
  xrandr --setmonitor "*FIRST" "$2" screen >/dev/null
}
# The first monitor's origin in pixels: "X Y".
first_monitor_origin() { xrandr --listactivemonitors | sed -n -E 's/.*\*FIRST [0-9]+\/[0-9]+x[0-9]+\/[0-9]+\+([0-9]+)\+([0-9]+).*/\1 \2/p'; }

# check_scaled_position WHAT: the answer against X's pixels, from the first monitor's origin, halved.
check_scaled_position() {
  local answer ix iw py ph mx my
  answer=$(ctl position --timeout "$(patience)") || fail "$1: no position answer"
  read -r ix _ iw _ <<<"$(geometry_of "$(item_window)")"
  read -r _ py _ ph <<<"$(geometry_of "$(panel_of "$(item_window)")")"
  read -r mx my <<<"$(first_monitor_origin)"
  expect_eq "$1: x, y, width, height" \
    "$(field x "$answer") $(field y "$answer") $(field width "$answer") $(field height "$answer")" \
    "$(awk -v ix="$ix" -v iw="$iw" -v py="$py" -v ph="$ph" -v mx="$mx" -v my="$my" \
      'BEGIN {print (ix - mx) / 2, (py - my) / 2, iw / 2, ph / 2}')"
}

# run_case WHAT OTHER FIRST [VARIABLE=VALUE]: a fresh display with those monitors, trayer at the top right
# of the first one, and the companion docked in it.
run_case() {
  rm -f "$E2E_DIR/display"
  start_display
  set_monitors "$2" "$3"
  [ -z "${5:-}" ] || echo "$5" | xrdb -merge
  trayer --monitor primary --edge top --align right --widthtype request --height 48 --SetDockType true \
    --transparent false --tint 0x333333 >"$E2E_DIR/trayer.log" 2>&1 &
  TRAY_PID=$!
  wait_until has_window '"panel": ("panel" "trayer")' || fail "trayer did not start"
  env ${4:+"$4"} "$COMPANION" >"$COMPANION_OUT" 2>"$COMPANION_ERR" &
  COMPANION_PID=$!
  wait_until in_a_panel || fail "$1: not docked"
  check_scaled_position "$1"
  for pid in "$COMPANION_PID" "$TRAY_PID" "$XVFB_PID"; do stop_process "$pid"; done
  COMPANION_PID="" TRAY_PID="" XVFB_PID=""
}

run_case "Xft.dpi 192, first monitor on the right" 640/170x800/212+0+0 640/170x800/212+640+0 "" "Xft.dpi: 192"
run_case "QT_SCALE_FACTOR 2, first monitor below" 1280/340x400/106+0+0 1280/340x400/106+0+400 QT_SCALE_FACTOR=2
