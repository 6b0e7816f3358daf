#!/usr/bin/env bash
# lxpanel with its default profile: a notification area of 24 x 24 squares.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
start_lxpanel() {
  launch lxpanel lxpanel --profile default
  TRAY_PID=$LAUNCHED
}
start_lxpanel
start_companion
xembed_host_test 24x24 start_lxpanel stop_tray
