#!/usr/bin/env bash
# The item waits for a tray when none runs, and docks again when the tray is restarted.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_companion

item_exists() { [ -n "$(item_window)" ]; }
wait_until 10 item_exists || fail "the item's window was not created"
sleep 1
item_docked && fail "docked without a tray"
xwininfo -id "$(item_window)" | grep -q 'Map State: IsViewable' && fail "shown before docking"
pass "hidden while no tray runs"

start_tray
wait_for_docked_size 63x22

stop_tray
item_hidden() { ! xwininfo -id "$(item_window)" | grep -q 'Map State: IsViewable'; }
wait_until 5 item_hidden || fail "the item stays on screen without a tray"
pass "hidden when the tray went away"

start_tray
wait_for_docked_size 63x22
ctl set-authenticated false
wait_for_docked_size 76x22
