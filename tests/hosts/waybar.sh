#!/usr/bin/env bash
# waybar 0.9.17 in a headless sway: a StatusNotifierItem host that keeps the pixmap's aspect ratio, so it
# shows the whole row. Left click shows or hides the main application, middle click toggles the timer,
# right click opens the item's menu (dbusmenu, clicked with EventGroup); a restarted bar shows it again.
HOST_ACCOUNT=nobody
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
cat >"$E2E_DIR/sway.conf" <<'CONF'
output HEADLESS-1 resolution 800x200
CONF
cat >"$E2E_DIR/waybar.json" <<'CONF'
{ "position": "top", "height": 30, "modules-left": [], "modules-right": ["tray"],
  "tray": { "icon-size": 22, "spacing": 8 } }
CONF
start_session_bus
start_sway "$E2E_DIR/sway.conf"
start_waybar() {
  launch waybar waybar -c "$E2E_DIR/waybar.json"
  BAR_PID=$LAUNCHED
}
start_waybar
start_companion
wait_for_registration
SHOT=wayland_shot
# The timer button, left of the segment, is drawn a little over 27 pixels wide at this icon size.
BUTTON_WIDTH=28
sni_states "800x30+0+0"
read -r cx cy <<<"$(box_centre "$ITEM_BOX")"
expect_lines "left click" "" '{"action":"toggleApp"}' sway_click button1 "$cx" "$cy"
expect_lines "middle click" "${TIMER_LINES[@]}" sway_click button2 "$cx" "$cy"

# The menu opens below the bar: what changes on screen when it opens is the menu, its two entries one
# above the other.
menu_box() {
  wayland_shot && convert "$E2E_DIR/closed.png" "$E2E_DIR/shot.png" -compose difference -composite \
    -threshold 0 -format '%@' info: | grep -v '^0x0'
}
choose_from_sni_menu() {
  local box w h x y
  wayland_shot && cp "$E2E_DIR/shot.png" "$E2E_DIR/closed.png"
  sway_click button3 "$cx" "$cy"
  wait_until menu_box || host_fail "no menu after a right click"
  box=$(menu_box)
  IFS='x+' read -r w h x y <<<"$box"
  sway_click button1 $((x + w / 2)) $((y + h * (2 * $1 - 1) / 4))
}
expect_lines "menu entry Toggle Timer" "${TIMER_LINES[@]}" choose_from_sni_menu 1
expect_lines "menu entry Show or Hide Pellmor" "${APP_LINES[@]}" choose_from_sni_menu 2

stop_launched "$BAR_PID"
wait_until has_no_item_box "800x30+0+0" || host_fail "the item stayed on screen without the bar"
start_waybar
wait_for_registration
wait_until has_item_box "800x30+0+0" || host_fail "the restarted bar does not show the item"
pass "shown again by the restarted bar"
! grep -q "No tray" "$COMPANION_ERR" || host_fail "a missing-host line while the bar restarted"
pass "no missing-host line"
