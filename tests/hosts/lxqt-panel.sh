#!/usr/bin/env bash
# lxqt-panel 1.2 with its default configuration: a status notifier plugin, which runs the watcher and draws
# the item as a square, beside a tray plugin that would put the item's own window into a hidden 128 x 128
# window at 0,0. The item is the plugin's: left click shows or hides the main application, middle click
# toggles the timer, right click opens the item's menu; its own window never docks into that tray.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
PANEL_AREA="1280x32+0+768"  # the panel's default place: along the bottom of the 1280 x 800 screen
start_lxqt_panel() {
  # As the session starts it: without the system's lxqt directory in XDG_CONFIG_DIRS the panel is empty.
  XDG_CONFIG_DIRS=/etc/xdg:/usr/share launch lxqt-panel lxqt-panel
  PANEL_PID=$LAUNCHED
  wait_until watcher_runs || host_fail "lxqt-panel's watcher did not start"
}
watcher_runs() { watcher_call --method org.freedesktop.DBus.Peer.Ping; }
# The item's own window is nowhere a click could reach it: in no tray's window, and not shown.
item_window_undocked() { [ -z "$(item_window)" ] || { [ "$(panel_of "$(item_window)")" = "$(item_window)" ] && ! item_viewable; }; }
expect_item_window_undocked() {
  wait_until item_window_undocked ||
    host_fail "the item's window is in the tray's window $(panel_of "$(item_window)") at $(item_geometry)"
  pass "the item's own window stays out of the tray"
}

start_lxqt_panel
start_companion
wait_for_registration
expect_item_window_undocked
expect_no_companion_window
sni_states "$PANEL_AREA"
read -r cx cy <<<"$(box_centre "$ITEM_BOX")"
click_at() { xdotool mousemove "$2" "$3" click "$1"; }
expect_lines "left click" "" '{"action":"toggleApp"}' click_at 1 "$cx" "$cy"
expect_lines "middle click" "${TIMER_LINES[@]}" click_at 2 "$cx" "$cy"

# The panel's menu for the item: its visible popup-menu window (tooltips are windows of the panel too).
panel_menu() {
  local window
  for window in $(xdotool search --onlyvisible --pid "$PANEL_PID" 2>/dev/null); do
    xprop -id "$window" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_POPUP_MENU && { echo "$window"; return 0; }
  done
  return 1
}
choose_from_panel_menu() {
  local x y w h
  click_at 3 "$cx" "$cy"
  wait_until panel_menu || host_fail "no menu after a right click"
  read -r x y w h <<<"$(geometry_of "$(panel_menu)")"
  ! overlap "$x $y $w $h" "$((cx - 1)) $((cy - 1)) 2 2" || host_fail "the menu ($x $y $w $h) covers the item"
  # Two entries, one above the other.
  click_at 1 $((x + w / 2)) $((y + h * (2 * $1 - 1) / 4))
}
expect_lines "menu entry Toggle Timer" "${TIMER_LINES[@]}" choose_from_panel_menu 1
expect_lines "menu entry Show or Hide Pellmor" "${APP_LINES[@]}" choose_from_panel_menu 2
wait_until test -z "$(panel_menu)" || host_fail "the menu stayed open"

# A restarted panel brings its tray and its watcher back together: the item goes to the new watcher (whose
# list starts empty), and a restart is no moment without a host worth a line.
stop_launched "$PANEL_PID"
start_lxqt_panel
wait_for_registration
wait_until has_item_box "$PANEL_AREA" || host_fail "the restarted panel does not show the item"
pass "shown again by the restarted panel"
expect_item_window_undocked
expect_no_companion_window
! grep -q "No tray" "$COMPANION_ERR" || host_fail "a missing-host line while the panel restarted"
pass "no missing-host line"
