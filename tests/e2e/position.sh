#!/usr/bin/env bash
# The position answer is the item's left edge and width and its panel's top and height, as X reports them.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22

check_position "signed in"
ctl set-authenticated false
wait_for_docked_size 76x22
check_position "signed out"
