#!/usr/bin/env bash
# Left clicks on each segment run its action; a click on the item's padding runs the item's own toggleApp,
# which prints nothing. Checked on standard output and on the lines that reach the main application.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22
wait_for_title "PlayButton|-:--"
read -r x y _ _ <<<"$(geometry_of "$(item_window)")"

# Each case: where (relative to the item; the 63 x 16 row sits 3 below its top), the outgoing line.
cases=(
  "12 11|{\"action\":\"toggleTimer\"}"  # timer button
  "40 11|{\"action\":\"toggleApp\"}"    # coloured segment
  "0 11|{\"action\":\"toggleApp\"}"     # leading padding
  "62 11|{\"action\":\"toggleApp\"}"    # trailing padding
  "30 1|{\"action\":\"toggleApp\"}"     # above the row
)
for case in "${cases[@]}"; do
  read -r dx dy <<<"${case%%|*}"
  ctl listen --count 1 --timeout 5 >"$E2E_DIR/heard" &
  listener=$!
  sleep 0.3  # the listener opens the FIFO before the click
  xdotool mousemove $((x + dx)) $((y + dy)) click 1
  wait "$listener" || fail "no outgoing line after a click at +$dx+$dy"
  expect_eq "outgoing line after a click at +$dx+$dy" "$(cat "$E2E_DIR/heard")" "${case#*|}"
done

expect_eq "standard output" "$(companion_lines)" "Toggling timer
Toggling main app"
