#!/usr/bin/env bash
# A tray and the companion starting at the same moment (a desktop session coming up): the tray may take
# its selection while it cannot yet embed anything, and the item must dock all the same. Each round then
# ends the docked companion with another termination signal: "GOODBYE!" once, status 0, the FIFOs kept.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
for signal in TERM INT HUP; do
  launch_tray
  start_companion
  wait_for_docked_size 63x22
  kill -s "$signal" "$COMPANION_PID"
  status=0
  wait "$COMPANION_PID" || status=$?
  COMPANION_PID=""
  expect_eq "exit status and standard output after SIG$signal" "$status $(companion_lines)" "0 GOODBYE!"
  fifos_in_place
  stop_tray
done
