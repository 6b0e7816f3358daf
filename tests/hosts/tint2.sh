#!/usr/bin/env bash
# tint2 with its default panel: a systray of 22 x 22 squares (it starts slowly without a window manager).
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
start_tint2() {
  launch tint2 tint2
  TRAY_PID=$LAUNCHED
}
start_tint2
start_companion
xembed_host_test 22x22 start_tint2 stop_tray
