#!/usr/bin/env bash
# polybar 3.6 with a tray at the right of a 24 high bar: 16 x 16 slots. The item fits the slot the tray
# shows, and the position answer measures what is visible.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
mkdir -p "$XDG_CONFIG_HOME/polybar"
cat >"$XDG_CONFIG_HOME/polybar/config.ini" <<'CONF'
[bar/top]
width = 100%
height = 24
modules-right = date
tray-position = right
font-0 = DejaVu Sans:size=10
[module/date]
type = internal/date
date = %H:%M
CONF
start_polybar() {
  launch polybar polybar -c "$XDG_CONFIG_HOME/polybar/config.ini" top
  TRAY_PID=$LAUNCHED
}
start_polybar
start_companion
xembed_host_test 16x16 start_polybar stop_tray
