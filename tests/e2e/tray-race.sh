#!/usr/bin/env bash
# A tray and the companion starting at the same moment (a desktop session coming up): the tray may take
# its selection while it cannot yet embed anything, and the item must dock all the same.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
for round in 1 2 3; do
  launch_tray
  start_companion
  wait_for_docked_size 63x22
  kill "$COMPANION_PID"
  wait "$COMPANION_PID" 2>/dev/null || true
  COMPANION_PID=""
  stop_tray
  pass "round $round docked"
done
