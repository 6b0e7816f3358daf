#!/usr/bin/env bash
# xfce4-panel 4.18 with its default configuration: its systray plugin is an XEmbed tray of 22 x 22 squares
# and a StatusNotifierItem host that would fit the wide row into a square; the item stays in the tray's
# slot, in its readable compact form, and never registers with the watcher.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
channel="$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml"
mkdir -p "$channel"
cp /etc/xdg/xfce4/panel/default.xml "$channel/xfce4-panel.xml"
watcher_runs() { watcher_call --method org.freedesktop.DBus.Peer.Ping; }
start_xfce4_panel() {
  launch xfce4-panel xfce4-panel
  TRAY_PID=$LAUNCHED
  wait_until watcher_runs || host_fail "xfce4-panel's watcher did not start"
}
start_xfce4_panel
start_companion
xembed_host_test 22x22 start_xfce4_panel stop_tray
companion_registered && host_fail "registered with xfce4-panel's watcher as well"
pass "not registered with the watcher"

# The fonts at 144 dpi, as xfce's appearance settings set them for a dense screen: the companion, started
# anew, draws at 1.5 times while the tray keeps its icons at 22 pixels. The tile still holds the running
# total in the coloured band under the image (of 22 x 22 pixels, about 150 have the band's colour).
stop_process "$COMPANION_PID"
echo "Xft.dpi: 144" | xrdb -merge
start_companion
wait_for_cell 22x22
enter_state "${STATES[2]}"
wait_for_title "$image|$text"
read -r x y w h <<<"$(visible_geometry)"
crop_stable "${w}x$h+$x+$y" "$E2E_DIR/dense.png"
band=$(segment_pixels "$E2E_DIR/dense.png")
[ "$band" -ge 100 ] || host_fail "at 144 dpi the tile has no band for the total ($band pixels of its colour)"
pass "the total's band at 144 dpi: $band pixels"
