#!/usr/bin/env bash
# icewm: its taskbar's tray gives each icon 32 x 24; the item draws its compact form there, over the whole
# slot.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
start_square_tray
start_companion
wait_for_cell 32x24
wait_for_paint 8 "the slot's bottom row|16 23|$(segment_colour)"
xembed_host_test 32x24 start_square_tray stop_tray
