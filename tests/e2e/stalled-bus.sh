#!/usr/bin/env bash
# A session bus daemon that stops answering (stopped, as a hung daemon is) while the item is shown as a
# StatusNotifierItem: a tray that starts meanwhile still gets the item at once, a position request
# is answered from it, and a termination signal still ends the companion with "GOODBYE!". Nothing on the
# main thread may wait on the bus.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_session_bus
# The watcher under xfce4-panel's name: the companion knows that host and moves to a tray once one runs.
cp "${SNI_TEST_WATCHER:?}" "$E2E_DIR/xfce4-panel"
SNI_TEST_WATCHER="$E2E_DIR/xfce4-panel" start_watcher
start_companion
wait_until grep -q '^registered' "$E2E_DIR/watcher.out" || fail "the item did not register with the watcher"
pass "registered with the watcher"

kill -s STOP "$BUS_PID"
launch_tray
wait_for_docked_size 63x22
check_position "docked while the bus daemon is stalled"

companion_ended() { ! kill -0 "$COMPANION_PID" 2>/dev/null; }
kill -s TERM "$COMPANION_PID"
wait_until companion_ended || fail "SIGTERM did not end the companion while the bus daemon is stalled"
status=0
wait "$COMPANION_PID" || status=$?
COMPANION_PID=""
expect_eq "exit status and last line after SIGTERM" "$status $(companion_lines | tail -n 1)" "0 GOODBYE!"
kill -s CONT "$BUS_PID"
