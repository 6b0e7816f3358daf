#!/usr/bin/env bash
# The choice of host while hosts come and go, on an X display with a tray that squashes the item (icewm's
# 32 x 24 slots) and a StatusNotifierWatcher on a private session bus: the item docks, finds its slot too
# narrow for the row and moves to the StatusNotifierItem host, leaving the tray; when the watcher goes
# away it docks into the tray again, in its compact form. The tray never went away, so nothing is missing
# and the companion prints nothing on standard error.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
: "${SNI_WATCHER:?SNI_WATCHER must name the sni-test-watcher executable}"
BUS_PID="" WATCHER_PID=""
trap 'stop_process "$WATCHER_PID"; stop_process "$BUS_PID"; e2e_cleanup' EXIT

dbus-daemon --session --nofork --print-address=3 3>"$E2E_DIR/bus" 2>"$E2E_DIR/bus.log" &
BUS_PID=$!
wait_until grep -q . "$E2E_DIR/bus" || fail "dbus-daemon did not start"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$E2E_DIR/bus")
export DBUS_SESSION_BUS_ADDRESS
"$SNI_WATCHER" >"$E2E_DIR/watcher.out" 2>"$E2E_DIR/watcher.err" &
WATCHER_PID=$!
wait_until grep -qx ready "$E2E_DIR/watcher.out" || fail "the watcher did not start"

start_display
start_square_tray
start_companion
wait_until grep -q '^registered org.kde.StatusNotifierItem-' "$E2E_DIR/watcher.out" ||
  fail "the item did not move to the StatusNotifierItem host"
pass "registered with the watcher"
wait_until item_withdrawn || fail "the item's window stayed in the tray or on the screen"
pass "the item left the tray"

stop_process "$WATCHER_PID"
WATCHER_PID=""
wait_for_slot 32x24
ctl show-timer --started-ago 3930 --hours 0
wait_for_title "PauseButton|1:06"
expect_eq "standard error" "$(cat "$COMPANION_ERR")" ""
