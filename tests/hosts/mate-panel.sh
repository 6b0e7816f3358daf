#!/usr/bin/env bash
# mate-panel with its default layout: its notification area is an XEmbed tray that gives the item its
# width (63 x 25) and also runs a StatusNotifierWatcher; the item docks as the whole row. Both start
# orders: the panel first, and the companion first with the panel 3 seconds later (autostart order); then
# the panel busy for a moment while the item grows.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
start_mate_panel() {
  launch mate-panel mate-panel
  TRAY_PID=$LAUNCHED
}
cell_is() { [ "$(visible_geometry | awk '{print $3 "x" $4}')" = "$1" ]; }

start_mate_panel
wait_until has_window '"mate-panel"' || host_fail "mate-panel did not start"
start_companion
xembed_host_test 63x25 start_mate_panel stop_tray
stop_process "$COMPANION_PID"
stop_tray

# The companion first: it says that no host shows the item once it has been without one for a while,
# then the panel comes (as an autostarted companion meets a panel a few seconds later) and the item docks
# as the whole row.
start_companion
wait_until grep -q "^No tray to show the status item in" "$COMPANION_ERR" || host_fail "no missing-host line"
start_mate_panel
wait_for_cell 63x25
expect_no_stray_window

# The panel busy right after it took the item in (as at login), when the item grows to "Sign In": the
# panel follows the new width only once it runs again, and the item stays in it.
kill -STOP "$TRAY_PID"
enter_state "${STATES[0]}"
sleep 2  # how long the panel is busy: longer than the item waits for a tray's slot to settle
kill -CONT "$TRAY_PID"
wait_for_fit

# The panel set to hide itself, out of the screen when the companion starts (as the main application
# starts it long after login): the item docks there all the same, as the whole row, and stays when the
# panel slides in.
panel=$(panel_of "$(item_window)")
gsettings set org.mate.panel.toplevel:/org/mate/panel/toplevels/top/ auto-hide true
xdotool mousemove 600 400
panel_hidden() { [ "$(geometry_of "$panel" | awk '{print $2}')" -lt 0 ]; }
wait_until panel_hidden || host_fail "the panel does not hide: $(geometry_of "$panel")"
stop_process "$COMPANION_PID"
start_companion
wait_until in_a_panel || host_fail "not docked in the hidden panel"
sleep 3  # how long the panel stays out: longer than the item waits for its slot to settle
panel_hidden || host_fail "the panel came back before its time"
xdotool mousemove 600 0
wait_for_cell 63x25
! companion_registered || host_fail "registered with the panel's watcher while the panel was out"
pass "not registered with the watcher"
