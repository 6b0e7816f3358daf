#!/usr/bin/env bash
# fluxbox with its default toolbar: the system tray gives 18 x 18 squares; the item draws its compact form.
# Then icewm, as a user who changes desktops: the item comes to it at its own size.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
start_fluxbox_default() {
  launch fluxbox fluxbox
  TRAY_PID=$LAUNCHED
}
start_fluxbox_default
start_companion
xembed_host_test 18x18 start_fluxbox_default stop_tray

# Moving on from fluxbox to icewm: the item leaves fluxbox's square slot at its own size again (fluxbox
# tells of its resizes in notices Qt folds together), and icewm gives it the 32 x 24 of a wide icon, not
# the 24 x 24 of a square one.
stop_tray
wait_until item_gone || host_fail "the item stays on screen after fluxbox exited"
start_square_tray
wait_for_cell 32x24
