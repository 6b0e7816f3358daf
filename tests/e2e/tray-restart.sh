#!/usr/bin/env bash
# The item waits hidden while no tray runs, and docks again when the tray is restarted.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_companion

# Once the companion has handled a message, its set-up is long done: the item must still be hidden.
wait_for_title "PlayButton|-:--"
ctl set-authenticated false
wait_for_title "PlayButton|Sign In"
item_viewable && fail "shown without a tray"
pass "hidden while no tray runs"

start_tray
wait_for_docked_size 76x22
stop_tray
item_hidden() { ! item_viewable; }
wait_until item_hidden || fail "the item stays on screen without a tray"
pass "hidden when the tray went away"
start_tray
wait_for_docked_size 76x22
ctl set-authenticated true
wait_for_docked_size 63x22
