#!/usr/bin/env bash
# fluxbox with its default toolbar: the system tray gives 18 x 18 squares; the item draws its compact form.
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
