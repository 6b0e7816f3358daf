#!/usr/bin/env bash
# KDE Plasma 5.27 as a session starts it: kded5 (whose module is the StatusNotifierWatcher), plasmashell
# (the system tray, a StatusNotifierItem host) and xembedsniproxy (Plasma's XEmbed tray, a proxy that
# would crop the item to a hidden square). The item registers with Plasma's watcher, Plasma draws it in
# its panel, and no window of the companion is on screen. Plasma calls Activate on a left click, which
# shows or hides the main application, and SecondaryActivate on a middle click, which toggles the timer;
# the tooltip says so. A right click opens Plasma's own menu of the item's entries clear of the item, and
# each entry chosen there sends its line. A restarted plasmashell shows the item again, and with the fonts
# at 144 dpi draws the item's own pixmap of its larger icon size, unscaled.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_gl_display
start_session_bus
export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5 XDG_SESSION_TYPE=x11
export QT_QPA_PLATFORM=xcb

launch kded5 kded5
KDED_PID=$LAUNCHED
watcher_is_kded() { [ "$(watcher_pid)" = "$KDED_PID" ]; }
wait_until watcher_is_kded || host_fail "kded5 does not run the StatusNotifierWatcher"
host_registered() {
  watcher_call --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
    IsStatusNotifierHostRegistered | grep -q true
}
start_plasmashell() {
  launch plasmashell plasmashell --no-respawn
  SHELL_PID=$LAUNCHED
  wait_until host_registered || host_fail "plasmashell registered no StatusNotifierHost"
}
start_plasmashell
launch xembedsniproxy xembedsniproxy
PROXY_PID=$LAUNCHED
# The item docked into the proxy would come back as the proxy's own StatusNotifierItem, cropped.
proxy_shows_an_item() {
  local entry
  for entry in $(watcher_call --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
    RegisteredStatusNotifierItems | grep -oE "[:a-zA-Z0-9._-]+(/[A-Za-z0-9_/]*)?"); do
    [ "$(bus_pid "${entry%%/*}")" != "$PROXY_PID" ] || return 0
  done
  return 1
}

# The default panel runs along the bottom, 44 pixels high; the system tray's items sit left of the clock.
TRAY_AREA=440x44+700+756
start_companion
wait_for_registration
expect_no_companion_window
! proxy_shows_an_item || host_fail "the item is docked into xembedsniproxy"
# Plasma grows a new item from a dot: its drawing counts once it stands still.
item_drawn() {
  local first
  first=$(item_box_in "$TRAY_AREA") && [ "$(item_box_in "$TRAY_AREA")" = "$first" ]
}
wait_until item_drawn || host_fail "Plasma never finished drawing the item"
sni_states "$TRAY_AREA"

# The item's own words for its clicks, as Plasma shows them in the tooltip.
tooltip_says_clicks() {
  item_property ToolTip | grep -qF "Left click to show or hide Pellmor, middle click to pause the timer, right click for the menu."
}
wait_until tooltip_says_clicks || host_fail "the tooltip does not say what the clicks do: $(item_property ToolTip)"
pass "the tooltip says a left click shows or hides Pellmor"

read -r cx cy <<<"$(box_centre "$ITEM_BOX")"
expect_lines "left click" "" '{"action":"toggleApp"}' xdotool mousemove "$cx" "$cy" click 1
expect_lines "middle click" "${TIMER_LINES[@]}" xdotool mousemove "$cx" "$cy" click 2

# Plasma draws the item's menu itself: a window of plasmashell's of the popup-menu type.
plasma_menu() {
  local window
  for window in $(xdotool search --onlyvisible --pid "$SHELL_PID" 2>/dev/null); do
    if xprop -id "$window" _NET_WM_WINDOW_TYPE | grep -q POPUP_MENU; then echo "$window"; fi
  done
}
plasma_menu_open() { [ -n "$(plasma_menu)" ]; }
IFS='x+' read -r w h x y <<<"$ITEM_BOX"
ITEM_DRAWN="$((x + 4)) $((y + 4)) $((w - 8)) $((h - 8))"  # the box without its margin
# choose_in_plasma_menu N OF: a right click on the item opens the menu, which leaves the item uncovered;
# a click in the Nth of its OF entries, equally tall, chooses that one.
choose_in_plasma_menu() {
  local x y w h
  wait_until eval '! plasma_menu_open' || host_fail "Plasma's menu stays open"
  xdotool mousemove "$cx" "$cy" click 3
  wait_until plasma_menu_open || host_fail "no menu after a right click on the item"
  read -r x y w h <<<"$(geometry_of "$(plasma_menu)")"
  ! overlap "$x $y $w $h" "$ITEM_DRAWN" || host_fail "Plasma's menu ($x $y $w $h) covers the item ($ITEM_DRAWN)"
  xdotool mousemove $((x + w / 2)) $((y + h * (2 * $1 - 1) / (2 * $2))) click 1
}
expect_lines "menu entry Toggle Timer" "${TIMER_LINES[@]}" choose_in_plasma_menu 1 2
expect_lines "menu entry Show or Hide Pellmor" "${APP_LINES[@]}" choose_in_plasma_menu 2 2
# Off the item, which Plasma draws lighter under the pointer.
xdotool mousemove 640 300

stop_launched "$SHELL_PID"
wait_until has_no_item_box "$TRAY_AREA" || host_fail "the item stayed on screen without plasmashell"
start_plasmashell
wait_until has_item_box "$TRAY_AREA" || host_fail "the restarted plasmashell does not show the item"
pass "shown again by the restarted plasmashell"
! grep -q "No tray" "$COMPANION_ERR" || host_fail "a missing-host line while plasmashell restarted"
expect_no_companion_window

# Plasma's display scale of 1.5 sets the fonts to 144 dpi, and plasmashell, started anew, draws its tray
# icons at 33 pixels. It draws the item's own pixmap of that size as it is, not a larger one scaled down,
# whose text would be blurred. Signed out, the whole tile has the segment's colour: its box is the tile's.
stop_launched "$SHELL_PID"
wait_until has_no_item_box "$TRAY_AREA" || host_fail "the item stayed on screen without plasmashell"
echo "Xft.dpi: 144" | xrdb -merge
enter_state "${STATES[0]}"
wait_until label_is "$text" || host_fail "the item's label is not '$text'"
start_plasmashell
TRAY_AREA=580x66+600+734  # the panel is 66 pixels high at 144 dpi
wait_until item_drawn || host_fail "Plasma at 144 dpi never finished drawing the item"
IFS='x+' read -r w h x y <<<"$(item_box_in "$TRAY_AREA")"
side=$((w - 8))
served_pixmap "$side" "$E2E_DIR/served.png" ||
  host_fail "at 144 dpi Plasma draws the item at $side pixels, a size the item serves no pixmap of"
crop_stable "${side}x$side+$((x + 4))+$((y + 4))" "$E2E_DIR/dense.png"
panel=$(convert "$E2E_DIR/shot.png" -format "%[pixel:p{$x,$y}]" info:)
convert "$E2E_DIR/served.png" -background "$panel" -flatten "$E2E_DIR/served-on-panel.png"
differing=$(compare -metric AE -fuzz 10% "$E2E_DIR/dense.png" "$E2E_DIR/served-on-panel.png" null: 2>&1)
[ "$differing" -le 3 ] || host_fail "at 144 dpi Plasma's drawing differs from the item's $side-pixel pixmap in $differing pixels"
pass "at 144 dpi Plasma draws the item's own $side-pixel pixmap ($differing pixels differ)"
