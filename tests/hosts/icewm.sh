#!/usr/bin/env bash
# icewm: its taskbar's tray gives each icon 32 x 24; the item draws its compact form there.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
start_square_tray
start_companion
xembed_host_test 32x24 start_square_tray stop_tray
