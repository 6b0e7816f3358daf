#!/usr/bin/env bash
# The item docks into the tray at the content's width and 22 high, and the tray follows a resize.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion

wait_for_docked_size 63x22
panel=$(panel_of "$(item_window)")
expect_eq "panel width signed in" "$(geometry_of "$panel" | awk '{print $3}')" 65

ctl set-authenticated false
wait_for_docked_size 76x22
panel_width_is() { [ "$(geometry_of "$panel" | awk '{print $3}')" = "$1" ]; }
wait_until 5 panel_width_is 78 || fail "the panel did not follow the item to 76 wide"
pass "panel followed to 78 wide"

ctl set-authenticated true
wait_for_docked_size 63x22
