#!/usr/bin/env bash
# GNOME Shell 43 in X11 mode on Xvfb, with no tray of its own, and Pellmor Status's extension enabled from
# a private home: the companion, started 10 times, shows its whole item in the top bar in each state
# (the screen shows exactly the picture the companion published, at the place the position answer names,
# with the state's artwork and width); every click and menu entry gives the exact lines on both sides;
# with the AppIndicator extension enabled too the item appears once; disabling and enabling ours moves the
# item to the AppIndicator extension and back; a shell started while the companion runs (the order of a
# login) shows the item at its place; while no companion runs the extension draws nothing; and the shell
# logs no error of the extension.
#
# With GNOME_SESSION=wayland the shell is a headless Wayland compositor without Xwayland (the default
# session of Debian 12) and the companion has no X display; the screen is read through the shell's
# screenshot interface, and the clicks, which the extension takes the same way in both sessions, are left
# to the X11 run.
#
# The environment names COMPANION, PELLMORCTL, RESOURCES and EXTENSION (the extension's source folder).
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
: "${EXTENSION:?}"
UUID=$(sed -n -E 's/^ *"uuid": *"([^"]+)".*/\1/p' "$EXTENSION/metadata.json")
APPINDICATOR=ubuntu-appindicators@ubuntu.com
mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
cp -r "$EXTENSION" "$XDG_DATA_HOME/gnome-shell/extensions/$UUID"
WAYLAND=false
if [ "${GNOME_SESSION:-x11}" = wayland ]; then
  WAYLAND=true
  unset PELLMOR_HOST_PICTURES  # the README shows the X11 run's
fi

if $WAYLAND; then
  export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
  start_bus DBUS_SYSTEM_BUS_ADDRESS system_bus  # without it the shell ends in its login-manager code
  # The shell takes pictures only for the programs that own one of a few names, gnome-screenshot's among
  # them: this one owns it for the moment of the call.
  screenshot() {
    /usr/bin/python3 - "$E2E_DIR/shot.png" <<'PYTHON'
import sys
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
              GLib.Variant("(su)", ("org.gnome.Screenshot", 4)), None, 0, -1, None)
bus.call_sync("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot", "org.gnome.Shell.Screenshot",
              "Screenshot", GLib.Variant("(bbs)", (False, False, sys.argv[1])), None, 0, 20000, None)
PYTHON
  }
  pointer_away() { :; }  # nothing moves the pointer
else
  export XDG_SESSION_TYPE=x11 XDG_CURRENT_DESKTOP=GNOME
  start_gl_display
  # away from the panel: a hovered panel button draws a highlight behind the item
  pointer_away() { xdotool mousemove 300 400; }
fi
start_session_bus
enable_extensions() {
  local list
  list=$(printf "'%s', " "$@")
  gsettings set org.gnome.shell enabled-extensions "[${list%, }]"
}
enable_extensions "$UUID"
gsettings set org.gnome.shell disable-user-extensions false

name_owner() {
  gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus -m org.freedesktop.DBus.GetNameOwner "$1" 2>/dev/null
}
bus_name_owned() { name_owner "$1" >/dev/null; }
# The desktop's top bar is black; the overview's is transparent.
panel_black() { screenshot && [ "$(pixel_at "$E2E_DIR/shot.png" 300 16)" = "0 0 0" ]; }
SHELL_STARTS=0
# start_shell: a new GNOME Shell (on X11 it replaces the running one, if any); waits until its instance
# of our extension has taken the extension's bus name, then takes the shell out of the overview it
# starts in, to the desktop.
start_shell() {
  local before
  before=$(name_owner com.pellmor.Status.GnomeShell) || true
  SHELL_STARTS=$((SHELL_STARTS + 1))
  if $WAYLAND; then
    launch "gnome-shell-$SHELL_STARTS" gnome-shell --wayland --headless --virtual-monitor 1280x800 --no-x11
    # The companion starts in the session the shell serves, as the session's programs do.
    wait_until test -S "$XDG_RUNTIME_DIR/wayland-0" || host_fail "GNOME Shell opened no Wayland display"
    export WAYLAND_DISPLAY=wayland-0
  else
    launch "gnome-shell-$SHELL_STARTS" gnome-shell --x11 --replace
  fi
  SHELL_PID=$LAUNCHED
  new_owner() { local owner; owner=$(name_owner com.pellmor.Status.GnomeShell) && [ "$owner" != "$before" ]; }
  wait_until new_owner || host_fail "the extension did not take its bus name"
  leave_overview
  wait_until panel_black || host_fail "the top bar is not the desktop's"
}
start_shell

# The right part of the top bar, left of the system menu, where the item goes: right of the clock.
right_of_clock() { convert "$E2E_DIR/shot.png" -crop 480x32+800+0 +repage "$E2E_DIR/$1"; }
screenshot
right_of_clock bare.png
draws_nothing() {
  pointer_away && screenshot && right_of_clock now.png &&
    [ "$(compare -metric AE "$E2E_DIR/bare.png" "$E2E_DIR/now.png" null: 2>&1)" = 0 ]
}
draws_nothing || host_fail "the top bar changed with our extension and no companion"
pass "no companion: the extension draws nothing"

# The extension shows an item, as it tells the companion.
item_placed() {
  ! gdbus call --session -d com.pellmor.Status.GnomeShell -o /com/pellmor/Status/GnomeShell \
    -m org.freedesktop.DBus.Properties.Get com.pellmor.Status.GnomeShell ItemFrame | grep -qF '(0, 0, 0, 0)'
}
shell_item_property() {
  gdbus call --session -d com.pellmor.Status.Item -o /com/pellmor/Status/Item \
    -m org.freedesktop.DBus.Properties.Get com.pellmor.Status.Item "$1"
}

# shows STATE: the screen shows the item in the state, whole: at the place the position answer names, the
# top bar shows exactly the picture the companion published (composited on the black bar); the picture
# is as wide as the state's row, carries the state's artwork at the timer button, and its description
# names the state's text. STATE is "ARTWORK|TEXT|WIDTH". The mismatch is left in $E2E_DIR/why.
shows() {
  local artwork text width answer x y
  IFS='|' read -r artwork text width <<<"$1"
  pointer_away
  item_placed || { echo "the extension reports no place for the item" >"$E2E_DIR/why" && return 1; }
  answer=$(ctl position --timeout 5 2>/dev/null) || { echo "no position answer" >"$E2E_DIR/why" && return 1; }
  x=$(field x "$answer") y=$(field y "$answer")
  shell_item_property Image >"$E2E_DIR/image" 2>"$E2E_DIR/why" || return 1
  shell_item_property Description | grep -qF "Shown: $text'" || { echo "description: $(shell_item_property Description)" >"$E2E_DIR/why" && return 1; }
  screenshot
  convert "$E2E_DIR/shot.png" -depth 8 rgb:"$E2E_DIR/shot.rgb"
  convert "$RESOURCES/$artwork.png" -depth 8 rgba:"$E2E_DIR/artwork.rgba"
  SHOWN_BOX="${width}x$(field height "$answer")+$x+$y"  # where the screenshot shows the item, if it does
  python3 - "$E2E_DIR" "$x" "$y" "$(field width "$answer")" "$(field height "$answer")" "$width" \
    "$(convert "$RESOURCES/$artwork.png" -format '%w %h' info:)" >"$E2E_DIR/why" <<'EOF'
import re, sys
directory, x, y, answer_width, answer_height, width = sys.argv[1], *map(float, sys.argv[2:7])
art_width, art_height = map(int, sys.argv[7].split())
text = open(f"{directory}/image").read()
w, h = map(int, re.match(r"\(<\((\d+), (\d+),", text).groups())
rgba = bytes(int(b, 16) for b in re.findall(r"0x([0-9a-f]{2})", text.split("[", 1)[1]))
shot, screen_width = open(f"{directory}/shot.rgb", "rb").read(), 1280
def fail(why):
    print(why)
    sys.exit(1)
if (w, h) != (width, answer_height) or (answer_width, y) != (w, 0):
    fail(f"picture {w}x{h}, position answer {answer_width} wide at y {y}, {answer_height} high; expected {width} wide at 0")
def on_screen(px, py):
    at = ((int(y) + py) * screen_width + int(x) + px) * 3
    return shot[at:at + 3]
def published(px, py):
    r, g, b, a = rgba[(py * w + px) * 4:(py * w + px) * 4 + 4]
    return bytes(round(c * a / 255) for c in (r, g, b))
for py in range(h):
    for px in range(w):
        if any(abs(s - p) > 2 for s, p in zip(on_screen(px, py), published(px, py))):
            fail(f"at +{px}+{py} the screen shows {tuple(on_screen(px, py))}, the picture {tuple(published(px, py))}")
# The artwork sits 2 points in and 3 below the row's top, the row centred in the bar; its rounded corners
# are clipped, so the comparison keeps 3 pixels off its edges.
art = open(f"{directory}/artwork.rgba", "rb").read()
top = (h - 22) // 2 + 3
for ay in range(3, art_height - 3):
    for ax in range(3, art_width - 3):
        expected = art[(ay * art_width + ax) * 4:(ay * art_width + ax) * 4 + 3]
        if any(abs(s - e) > 8 for s, e in zip(on_screen(2 + ax, top + ay), expected)):
            fail(f"artwork pixel {ax},{ay}: {tuple(on_screen(2 + ax, top + ay))} instead of {tuple(expected)}")
EOF
}
# wait_for_item STATE [NAME]: the state shown; its picture for the README is NAME's.
wait_for_item() {
  wait_until shows "$1" || host_fail "not shown as '$1': $(cat "$E2E_DIR/why")"
  pass "shown as '$1'"
  [ -z "${2:-}" ] || host_picture "$2" "$E2E_DIR/shot.png" -crop "$SHOWN_BOX" +repage
}
states=("PlayButton|-:--|63" "PlayButton|Sign In|76" "PauseButton|1:06|63")
show_each_state() {
  wait_for_item "${states[0]}" no-time  # a fresh channel: signed in, no timer
  ctl set-authenticated false
  wait_for_item "${states[1]}" sign-in
  ctl set-authenticated true
  ctl show-timer --started-ago 3930 --hours 0
  wait_for_item "${states[2]}" running
}
stop_companion() {
  stop_process "$COMPANION_PID"
  COMPANION_PID=""
}

item_left() { field x "$(ctl position --timeout "$(patience)")"; }
# The menu's grey below the item, where the desktop's blue was.
menu_shown() { screenshot && [ "$(pixel_at "$E2E_DIR/shot.png" "$1" 60)" != "$(pixel_at "$E2E_DIR/shot.png" 300 400)" ]; }
# menu_entry N: opens the menu with a right click on the item and picks its Nth entry with the keyboard,
# which the shell's menu takes when it opens.
menu_entry() {
  local x
  x=$(($(item_left) + 30))
  xdotool mousemove "$x" 16 click 3
  wait_until menu_shown "$x" || host_fail "no menu under the item after a right click"
  xdotool key --repeat "$1" Down key Return
}
check_clicks() {
  local x
  x=$(item_left)
  [ -n "$x" ] || host_fail "no position answer"
  # Where relative to the picture (the 16 high row spans 8 to 24 in the 32 high bar), the lines.
  expect_lines "left click on the image" "${TIMER_LINES[@]}" xdotool mousemove $((x + 12)) 16 click 1
  expect_lines "left click on the text" "${APP_LINES[@]}" xdotool mousemove $((x + 40)) 16 click 1
  expect_lines "left click beside the row" "" '{"action":"toggleApp"}' xdotool mousemove $((x - 4)) 16 click 1
  expect_lines "middle click" "${TIMER_LINES[@]}" xdotool mousemove $((x + 40)) 16 click 2
  expect_lines "menu entry 1" "${TIMER_LINES[@]}" menu_entry 1
  expect_lines "menu entry 2" "${APP_LINES[@]}" menu_entry 2
}

for start in $(seq 1 10); do
  echo "--- start $start"
  start_companion
  show_each_state
  [ "$start" != 1 ] || $WAYLAND || check_clicks
  stop_companion
  wait_until draws_nothing || host_fail "the item stays in the top bar after the companion ended"
done
pass "10 of 10 starts"

# One item, never two: with the AppIndicator extension beside ours, no StatusNotifierItem and no tray icon.
registered_items() {
  gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher -m org.freedesktop.DBus.Properties.Get \
    org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems
}
only_ours() {
  local why=""
  ! companion_registered || why+="a StatusNotifierItem is registered; "
  ! in_a_panel || why+="the item's window is docked in a tray; "
  [ "$(registered_items)" = "(<@as []>,)" ] || why+="the watcher holds $(registered_items); "
  echo "$why" >"$E2E_DIR/why"
  [ -z "$why" ] && shows "${states[0]}"
}
elsewhere() {
  ! bus_name_owned com.pellmor.Status.Item && { companion_registered || in_a_panel; }
}
elsewhere_or_nowhere() { ! bus_name_owned com.pellmor.Status.Item; }
start_companion
wait_for_item "${states[0]}"
enable_extensions "$UUID" "$APPINDICATOR"
wait_until bus_name_owned org.kde.StatusNotifierWatcher || host_fail "the AppIndicator extension did not start"
wait_until only_ours || host_fail "the item is not shown once by our extension alone: $(cat "$E2E_DIR/why")"
pass "both extensions: one item"

enable_extensions "$APPINDICATOR"
wait_until elsewhere || host_fail "with our extension disabled, the item went to no other host"
pass "our extension disabled: the item moved to the AppIndicator extension"
enable_extensions "$APPINDICATOR" "$UUID"
wait_until only_ours || host_fail "with our extension enabled again, the item is not ours alone: $(cat "$E2E_DIR/why")"
pass "our extension enabled again: the item is back, once"

stop_companion
start_companion
wait_until only_ours || host_fail "started beside both extensions, the item is not ours alone: $(cat "$E2E_DIR/why")"
pass "started beside both extensions: one item"

# The shell ends and a new one starts while the companion runs, as at a login with the companion
# autostarted first: the new shell's extension shows the item, at the place the position answer names.
stop_launched "$SHELL_PID"
wait_until elsewhere_or_nowhere || host_fail "the item stayed with the shell that ended"
start_shell
wait_until only_ours || host_fail "in a new shell the item is not back: $(cat "$E2E_DIR/why")"
pass "a new shell: the item is back"

# Nothing of ours in the shell's log: an error of the extension shows there with its file or its name.
ours=$(grep -n -B2 -A2 -E "extensions/$UUID/|Pellmor Status" "$E2E_DIR"/gnome-shell-*.log || true)
[ -z "$ours" ] || host_fail "the shell logged errors of the extension: $ours"
pass "no error of the extension in the shell's log"
