#!/usr/bin/env bash
# GNOME Shell 43 (X11 mode) with the AppIndicator extension, which runs both an XEmbed tray and a
# StatusNotifierItem host. The tray settles on a cell that gives the item its width (63 x 16), so the item
# docks there as the whole row, on each of 10 starts on a busy machine, and never registers on the way.
# The tray clicks the middle of its icons whatever the pointer's place: a left click shows or hides the
# main application, a middle click toggles the timer, a right click opens the item's menu.
# Forced to its StatusNotifierItem, the item is drawn by the extension (a 16 px icon, the label beside it)
# on each of 10 starts; any click there opens the menu and a middle click toggles the timer. Both come
# back after the shell restarts.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_gl_display
start_session_bus
export XDG_SESSION_TYPE=x11 XDG_CURRENT_DESKTOP=GNOME
gsettings set org.gnome.shell enabled-extensions "['ubuntu-appindicators@ubuntu.com']"
gsettings set org.gnome.shell disable-user-extensions false

shell_ready() { [ "$(bus_pid org.gnome.Shell)" = "$TRAY_PID" ] && [ "$(watcher_pid)" = "$TRAY_PID" ]; }
# start_shell: a new shell, which replaces the running one, as after Alt+F2 r.
start_shell() {
  launch gnome-shell gnome-shell --x11 --replace
  TRAY_PID=$LAUNCHED
  wait_until shell_ready || host_fail "GNOME Shell and its indicator extension did not start"
  leave_overview
}
start_shell
busy_machine
STARTS=10  # the shell must show the item on every start, not on most

# --- The tray ---------------------------------------------------------------------------------------------

docked_as_row() { shows_cell 63x16 && ! companion_registered; }
expect_docked_as_row() {
  local x y w h
  wait_until docked_as_row || host_fail "$1: not docked as the whole row: item $(item_geometry), visible" \
    "$(visible_geometry)$(companion_registered && echo ', registered with the watcher')"
  # Once the shell has drawn it, the item is still there and still not registered.
  read -r x y w h <<<"$(visible_geometry)"
  crop_stable "${w}x$h+$x+$y" "$E2E_DIR/docked.png"
  docked_as_row || host_fail "$1: left the tray's cell ($(item_geometry))"
  pass "$1: docked as the whole row"
}
for start in $(seq 1 $STARTS); do
  start_companion
  expect_docked_as_row "start $start"
  [ "$start" -eq $STARTS ] || { stop_process "$COMPANION_PID" && COMPANION_PID=""; }
done

xembed_states
enter_state "${STATES[2]}"
wait_for_title "$image|$text"
expect_lines "left click on the image" "${APP_LINES[@]}" click_item 1 12 8
expect_lines "left click on the text" "${APP_LINES[@]}" click_item 1 40 8
expect_lines "middle click" "${TIMER_LINES[@]}" click_item 2 31 8
expect_lines "menu entry Toggle Timer" "${TIMER_LINES[@]}" choose_from_menu 1
expect_lines "menu entry Show or Hide Pellmor" "${APP_LINES[@]}" choose_from_menu 2
xembed_position
expect_no_stray_window

start_shell
expect_docked_as_row "after the shell restarted"
! grep -q "No tray" "$COMPANION_ERR" || host_fail "a missing-host line while the shell restarted"
expect_no_stray_window
stop_process "$COMPANION_PID"

# --- The StatusNotifierItem ------------------------------------------------------------------------------

export PELLMOR_STATUS_HOST=sni
TOP_BAR=1280x32+0+0
shown_by_extension() { companion_registered && has_item_box "$TOP_BAR"; }
for start in $(seq 1 $STARTS); do
  start_companion
  wait_until shown_by_extension || host_fail "start $start: not shown in the top bar" \
    "$(companion_registered || echo '(not registered)')"
  pass "start $start: shown in the top bar"
  [ "$start" -eq $STARTS ] && break
  stop_process "$COMPANION_PID" && COMPANION_PID=""
  wait_until has_no_item_box "$TOP_BAR" || host_fail "the item stays in the top bar after the companion exited"
done
! grep -q "While initalizing proxy" "$E2E_DIR/gnome-shell.log" || host_fail "the extension dropped the item"

HOST_PICTURE=gnome-shell-sni WIDEN=60 sni_states "$TOP_BAR"
expect_no_companion_window
read -r cx cy <<<"$(box_centre "$ITEM_BOX")"
expect_lines "middle click" "${TIMER_LINES[@]}" xdotool mousemove "$cx" "$cy" click 2

# The menu opens below the top bar: what changes there when it opens is the menu. Its entries are picked
# with the keyboard, which the shell's menu takes when it opens (the pointer would have to wait out the
# slide of the menu closed before).
menu_box() {
  screenshot && convert "$E2E_DIR/closed.png" "$E2E_DIR/shot.png" -crop 1280x768+0+32 +repage \
    -compose difference -composite -threshold 0 -format '%@' info: | grep -v '^0x0'
}
menu_settled() {
  local first
  first=$(menu_box) && [ "$(menu_box)" = "$first" ]
}
# The screen below the top bar, once two screenshots in a row show it the same (a menu closed before has
# finished sliding away), as the picture without the menu.
screen_still() {
  screenshot && cp "$E2E_DIR/shot.png" "$E2E_DIR/closed.png" && ! menu_box
}
# choose_from_shell_menu N BUTTON: opens the menu with a click of BUTTON and picks its Nth entry.
choose_from_shell_menu() {
  wait_until screen_still || host_fail "the screen below the top bar never stood still"
  xdotool mousemove "$cx" "$cy" click "$2"
  wait_until menu_settled || host_fail "no menu after a click with button $2"
  xdotool key --repeat "$1" Down key Return
}
expect_lines "left click, menu entry Toggle Timer" "${TIMER_LINES[@]}" choose_from_shell_menu 1 1
expect_lines "right click, menu entry Show or Hide Pellmor" "${APP_LINES[@]}" choose_from_shell_menu 2 3

start_shell
wait_until shown_by_extension || host_fail "not shown again after the shell restarted"
pass "shown again after the shell restarted"
! grep -q "No tray" "$COMPANION_ERR" || host_fail "a missing-host line while the shell restarted"
expect_no_companion_window
