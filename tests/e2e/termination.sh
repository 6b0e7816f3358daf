#!/usr/bin/env bash
# SIGTERM, SIGINT and SIGHUP end the companion with "GOODBYE!" once and status 0; the FIFOs stay.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray

for signal in TERM INT HUP; do
  : >"$COMPANION_OUT"
  start_companion
  wait_for_docked_size 63x22
  kill -s "$signal" "$COMPANION_PID"
  status=0
  wait "$COMPANION_PID" || status=$?
  COMPANION_PID=""
  expect_eq "exit status after SIG$signal" "$status" 0
  expect_eq "standard output after SIG$signal" "$(companion_lines)" "GOODBYE!"
  for fifo in to_main.fifo from_main.fifo; do
    [ -p "$(find "$XDG_RUNTIME_DIR" -name "$fifo" | head -n 1)" ] || fail "$fifo was removed"
  done
  pass "FIFOs left in place after SIG$signal"
done
