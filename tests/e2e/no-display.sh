#!/usr/bin/env bash
# Without a display or a session bus the item has no button and the companion says so; the channel still
# works; and SIGTERM in the middle of a flood of messages still ends it with one "GOODBYE!", status 0, FIFOs
# kept.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
unset DISPLAY
start_companion
reading() { grep -qx "Failed to create NSStatusItem button" "$COMPANION_OUT"; }  # set-up is done
wait_until reading || fail "no failure line; standard output: $(companion_lines)"
ctl send '{"action":"bogus"}'
answered() { grep -q '^Received unknown action: .*"bogus"' "$COMPANION_OUT"; }
wait_until answered || fail "the channel did not answer"
expect_eq "standard error" "$(cat "$COMPANION_ERR")" \
  "No tray to show the status item in: no X display, no session bus"

# `yes` writes the line again and again; it ends with the companion, on a broken pipe.
yes '{"action":"setAuthenticated","value":false}' >"$(find "$XDG_RUNTIME_DIR" -name from_main.fifo)" 2>/dev/null &
flood=$!
read_a_lot() { [ "$(awk '/^rchar/ {print $2}' "/proc/$COMPANION_PID/io")" -gt 4000000 ]; }
wait_until read_a_lot || fail "the companion does not read the flood"
kill -s TERM "$COMPANION_PID"
status=0
wait "$COMPANION_PID" || status=$?
COMPANION_PID=""
wait "$flood" 2>/dev/null || true
expect_eq "exit status and farewells" "$status $(grep -c '^GOODBYE!$' "$COMPANION_OUT")" "0 1"
fifos_in_place
