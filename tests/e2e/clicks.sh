#!/usr/bin/env bash
# A real left click on each segment runs its action; a click on the item's padding runs the item's own
# toggleApp, which prints nothing. Checked on standard output and on the lines that reach the main
# application (the companion's write waits in its open until pellmorctl listens).
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22
wait_for_title "PlayButton|-:--"
read -r x y _ _ <<<"$(geometry_of "$(item_window)")"

# Each case: where (relative to the item; the 63 x 16 row sits 3 below its top), the outgoing line.
for case in '12 11|{"action":"toggleTimer"}' '40 11|{"action":"toggleApp"}' '0 11|{"action":"toggleApp"}'; do
  read -r dx dy <<<"${case%%|*}"
  xdotool mousemove $((x + dx)) $((y + dy)) click 1
  expect_eq "outgoing line after a click at +$dx+$dy" "$(ctl listen --count 1 --timeout "$(patience)")" "${case#*|}"
done
expect_eq "standard output" "$(cat "$COMPANION_OUT")" "Toggling timer
Toggling main app"
