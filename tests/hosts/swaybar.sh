#!/usr/bin/env bash
# swaybar 1.7 in a headless sway: a StatusNotifierItem host that takes a square pixmap (16 pixels) and
# draws no menus. It reaches the item's actions by clicks alone: left click shows or hides the main
# application, middle click toggles the timer, right click asks for a context menu, which has no effect.
HOST_ACCOUNT=nobody
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
cat >"$E2E_DIR/sway.conf" <<'CONF'
output HEADLESS-1 resolution 800x200
bar {
  position top
  workspace_buttons no
  tray_output *
}
CONF
start_session_bus
start_sway "$E2E_DIR/sway.conf"
start_companion
wait_for_registration
SHOT=wayland_shot
MARGIN=1 sni_states "800x40+0+0"
# The clicks aim at the middle of the box: it must be the square icon alone, not stretched to other pixels
# near the item's colour (anti-aliased text on a blue workspace button once made it the whole bar).
IFS='x+' read -r box_w box_h _ _ <<<"$ITEM_BOX"
[ "$box_w" -le "$box_h" ] || host_fail "the item's colour found beyond its square icon: $ITEM_BOX"
read -r cx cy <<<"$(box_centre "$ITEM_BOX")"
expect_lines "left click" "" '{"action":"toggleApp"}' sway_click button1 "$cx" "$cy"
expect_lines "middle click" "${TIMER_LINES[@]}" sway_click button2 "$cx" "$cy"
# A right click reaches no action: the next line the companion sends is the middle click's.
sway_click button3 "$cx" "$cy"
expect_lines "middle click after a right click" "${TIMER_LINES[@]}" sway_click button2 "$cx" "$cy"

# swaybar runs inside sway: a reloaded configuration starts a new bar.
# The bar (which sway starts detached) is told by the watcher it runs.
first_bar=$(watcher_pid)
new_bar() { [ -n "$(watcher_pid)" ] && [ "$(watcher_pid)" != "$first_bar" ]; }
swaymsg -q reload
wait_until new_bar || host_fail "sway did not start a new bar"
wait_for_registration
wait_until has_item_box "800x40+0+0" || host_fail "the restarted bar does not show the item"
pass "shown again by the restarted bar"
! grep -q "No tray" "$COMPANION_ERR" || host_fail "a missing-host line while the bar restarted"
pass "no missing-host line"
