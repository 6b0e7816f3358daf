#!/usr/bin/env bash
# SIGTERM, SIGINT and SIGHUP end the docked companion with "GOODBYE!" once and status 0; the FIFOs stay.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray

for signal in TERM INT HUP; do
  start_companion
  wait_for_docked_size 63x22
  kill -s "$signal" "$COMPANION_PID"
  status=0
  wait "$COMPANION_PID" || status=$?
  COMPANION_PID=""
  expect_eq "exit status and standard output after SIG$signal" "$status $(cat "$COMPANION_OUT")" "0 GOODBYE!"
  for fifo in to_main.fifo from_main.fifo; do
    [ -p "$(find "$XDG_RUNTIME_DIR" -name "$fifo" | head -n 1)" ] || fail "$fifo was removed"
  done
done
pass "FIFOs left in place"
