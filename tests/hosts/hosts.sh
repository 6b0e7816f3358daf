#!/usr/bin/env bash
# Sourced by the host tests (one per real tray or StatusNotifierItem host of Debian 12) on top of the
# end-to-end harness: a private home, configuration, cache and data directory and a private session bus
# (started after those are set, so the settings daemons a host activates write nowhere else), the host
# started as its desktop starts it, and the checks every host test makes of the item in the host's own
# drawing: the three states told apart in a screenshot, each click and each menu entry with the exact
# lines on both sides, the position answer, no stray window.

# sway refuses to run as root: a test that sets HOST_ACCOUNT runs whole as that unprivileged account.
if [ -n "${HOST_ACCOUNT:-}" ] && [ "$(id -u)" -eq 0 ]; then
  exec setpriv --reuid="$HOST_ACCOUNT" --regid="$(id -gn "$HOST_ACCOUNT")" --clear-groups env TMPDIR=/tmp \
    bash "$0" "$@"
fi

# shellcheck source=tests/e2e/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/harness.sh"

export HOME="$E2E_DIR/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
unset XDG_CURRENT_DESKTOP XDG_SESSION_TYPE XDG_CONFIG_DIRS WAYLAND_DISPLAY
HOST_PIDS=()  # every further process a host test starts, stopped on exit in reverse order

# Daemons a host spawned that left it for init (lxpanel's menu-cached): told by this test's own runtime
# directory in their environment. Left running, they write into the home while it is removed.
orphaned_daemons() {
  local environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [ "$(ps -o ppid= -p "$pid" 2>/dev/null | tr -d ' ')" = 1 ] || continue
    tr '\0' '\n' 2>/dev/null <"$environ" | grep -qxF "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" && echo "$pid"
  done
}
hosts_cleanup() {
  local i pid
  stop_process "$COMPANION_PID"
  COMPANION_PID=""
  for ((i = ${#HOST_PIDS[@]} - 1; i >= 0; i--)); do stop_process "${HOST_PIDS[i]}"; done
  for pid in $(orphaned_daemons); do stop_process "$pid"; done
  e2e_cleanup
}
trap hosts_cleanup EXIT

# start_bus VARIABLE NAME: a private dbus-daemon with the session configuration, its address exported in
# the variable (DBUS_SESSION_BUS_ADDRESS, or DBUS_SYSTEM_BUS_ADDRESS as a stand-in system bus).
start_bus() {
  local output address pid
  output=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 \
    --address="unix:path=$XDG_RUNTIME_DIR/$2")
  { read -r address && read -r pid; } <<<"$output"
  HOST_PIDS+=("$pid")
  export "$1=$address"
}
start_session_bus() { start_bus DBUS_SESSION_BUS_ADDRESS bus; }

# launch NAME COMMAND...: starts a program of the desktop in the background, its output in NAME.log; sets
# LAUNCHED to its process id and adds it to the processes stopped on exit.
launch() {
  local name=$1
  shift
  "$@" >"$E2E_DIR/$name.log" 2>&1 &
  LAUNCHED=$!
  HOST_PIDS+=("$LAUNCHED")
}

# stop_launched PID: stops one process started with launch, before the test ends.
stop_launched() {
  local pid=$1 i
  stop_process "$pid"
  for i in "${!HOST_PIDS[@]}"; do [ "${HOST_PIDS[i]}" != "$pid" ] || unset 'HOST_PIDS[i]'; done
  HOST_PIDS=("${HOST_PIDS[@]}")
}

host_fail() {
  local log
  for log in "$E2E_DIR"/*.log; do
    [ -s "$log" ] || continue
    echo "--- $(basename "$log") (last lines):" >&2
    tail -n 15 "$log" >&2
  done
  # The window tree says where the item's window went: into another slot, back to the root, or nowhere.
  { echo "--- the window tree:" && xwininfo -root -tree 2>&1 | head -n 80; } >&2 || true
  fail "$@"
}

# --- The companion's lines ---------------------------------------------------------------------------

# expect_lines WHAT EXPECTED_STDOUT EXPECTED_JSON ACTION...: runs the action (a click, a menu entry) and
# checks both sides: the one line the companion sends to the main application, and what it prints on
# standard output meanwhile (nothing, when EXPECTED_STDOUT is empty). The companion prints before it sends,
# so its output is complete once the line has arrived.
expect_lines() {
  local what=$1 out=$2 json=$3 before sent printed
  shift 3
  before=$(wc -l <"$COMPANION_OUT")
  sent=$(listen_after "$@")
  printed=$(tail -n +"$((before + 1))" "$COMPANION_OUT")
  expect_eq "$what: sent" "$sent" "$json"
  expect_eq "$what: printed" "$printed" "$out"
}
TIMER_LINES=("Toggling timer" '{"action":"toggleTimer"}')
APP_LINES=("Toggling main app" '{"action":"toggleApp"}')

# --- The three states -----------------------------------------------------------------------------------

# Each state: its name, the title the item takes, the pellmorctl commands that bring it.
STATES=(
  "sign-in|PlayButton|Sign In|clear-timer;set-authenticated false"
  "no-time|PlayButton|-:--|set-authenticated true"
  "running|PauseButton|1:06|show-timer --started-ago 3930 --hours 0"
)

# crop_stable GEOMETRY FILE [SHOT]: screenshots (with SHOT, a command that writes $E2E_DIR/shot.png;
# `screenshot` by default) until two in a row show the same pixels in GEOMETRY (WxH+X+Y), which then go to
# FILE: the host has finished drawing.
crop_once() { "${3:-screenshot}" && convert "$E2E_DIR/shot.png" -crop "$1" +repage "$2"; }
same_crop_twice() {
  crop_once "$@" && crop_once "$1" "$2.again" "${3:-}" && [ "$(compare -metric AE "$2" "$2.again" null: 2>&1)" = 0 ]
}
crop_stable() { wait_until same_crop_twice "$@" || host_fail "the host's drawing at $1 never settled"; }

# How near a pixel's colour must be to the segment's to count as the item's. A host scales and blends
# only at the edges, so the segment's inside keeps its colour; waybar's tray is drawn on #2980b9, 9.7 %
# from the segment, which a wider tolerance would take for the item.
SEGMENT_FUZZ=6%
# segment_mask FORMAT ARGS...: the FORMAT figures of convert ARGS with every pixel of the segment's colour
# white and the rest black. The mask paints the rest black first: with the fuzz, light pixels (a light
# panel) would pass for white.
segment_mask() {
  local format=$1 colour
  shift
  colour=$(segment_colour | awk '{printf "rgb(%d,%d,%d)", $1, $2, $3}')
  convert "$@" -fuzz "$SEGMENT_FUZZ" -fill black +opaque "$colour" -fill white -opaque "$colour" \
    -format "$format" info:
}
# segment_pixels FILE: how many pixels of the picture have the segment's colour.
segment_pixels() { segment_mask '%[fx:int(mean*w*h+0.5)]' "$1"; }

# expect_distinct_states FILE...: the pictures of the three states, each showing the item (some of the
# segment's colour), and no two alike: the host's drawing tells the states apart.
expect_distinct_states() {
  local a b count
  for a in "$@"; do
    count=$(segment_pixels "$a")
    [ "$count" -ge 20 ] || host_fail "$(basename "$a"): the item is not in the host's drawing ($count pixels of its colour)"
  done
  for a in "$@"; do
    for b in "$@"; do
      [[ "$a" < "$b" ]] || continue
      [ "$(compare -metric AE "$a" "$b" null: 2>&1)" != 0 ] ||
        host_fail "$(basename "$a") and $(basename "$b") look the same in the host's drawing"
    done
  done
  pass "the three states look different in the host's drawing"
}

# --- XEmbed -----------------------------------------------------------------------------------------------

# The item's window and its tray's panel, "X Y W H" each.
item_geometry() { geometry_of "$(item_window)"; }

fits_its_cell() { in_a_panel && [ "$(visible_geometry)" = "$(item_geometry)" ]; }
wait_for_fit() {
  wait_until fits_its_cell || host_fail "the item's window $(item_geometry) hangs out of its cell $(visible_geometry)"
  pass "fits its cell: $(visible_geometry)"
}
# Where the item's window sits, for a failure's message: the slot tells a tray that gave a smaller slot
# from an item that left the tray's size.
docking_report() {
  local window
  window=$(item_window)
  echo "item $(geometry_of "$window"), visible $(visible_geometry), slot $(geometry_of "$(parent_of "$window")")," \
    "panel $(geometry_of "$(panel_of "$window")")"
}
# wait_for_cell CELL: docked, showing a cell of CELL (WIDTHxHEIGHT).
wait_for_cell() {
  wait_until shows_cell "$1" || host_fail "not showing a $1 cell: $(docking_report)"
  pass "docked in a $1 slot"
}

# The inside of a window, "X Y W H": xwininfo's absolute corner is its border's (fluxbox's toolbar has one).
inside_of() {
  window_info "$1" | awk '
    /Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4} /Border width:/ {b = $3}
    /Width:/ {w = $2} /Height:/ {h = $2} END {print x + b, y + b, w, h}'
}
# What of the item's window the screen shows: the window cut to the inside of each window that holds it,
# "X Y W H".
visible_geometry() {
  local window root x y w h ax ay aw ah parent
  window=$(item_window)
  root=$(root_window)
  read -r x y w h <<<"$(geometry_of "$window")"
  while parent=$(parent_of "$window") &&
    [ -n "$parent" ] && [ "$parent" != "$root" ]; do
    read -r ax ay aw ah <<<"$(inside_of "$parent")"
    local right=$((x + w < ax + aw ? x + w : ax + aw)) bottom=$((y + h < ay + ah ? y + h : ay + ah))
    x=$((x > ax ? x : ax)) y=$((y > ay ? y : ay))
    w=$((right - x)) h=$((bottom - y))
    window=$parent
  done
  echo "$x $y $w $h"
}
# The item shows a cell of WIDTHxHEIGHT on screen, and its window is no larger (nothing hangs out of the
# slot, under the tray's other icons or past the screen's edge).
shows_cell() {
  in_a_panel && [ "$(visible_geometry | awk '{print $3 "x" $4}')" = "$1" ] &&
    [ "$(item_geometry | awk '{print $3 "x" $4}')" = "$1" ]
}

# xembed_states: the item docked in its tray, in each state: the title and a cell it fits,
# then the pictures of what the screen shows of it, told apart.
xembed_states() {
  local state x y w h pictures=()
  for state in "${STATES[@]}"; do
    enter_state "$state"
    wait_for_title "$image|$text"
    wait_for_fit
    read -r x y w h <<<"$(visible_geometry)"
    crop_stable "${w}x$h+$x+$y" "$E2E_DIR/$name.png"
    host_picture "$name" "$E2E_DIR/$name.png"
    pictures+=("$E2E_DIR/$name.png")
  done
  expect_distinct_states "${pictures[@]}"
}

# click_item BUTTON DX DY: a click at a place of the item's window.
click_item() {
  local x y
  read -r x y _ _ <<<"$(item_geometry)"
  xdotool mousemove $((x + $2)) $((y + $3)) click "$1"
}

# xembed_clicks: with a running timer, each click of the item's form in its cell, the middle button and
# both menu entries. The whole row (at least 63 wide) has the image left and the text right; a compact
# form from 22 high has the image above the text; below that, the image takes the cell.
xembed_clicks() {
  local w h
  enter_state "${STATES[2]}"
  wait_for_title "$image|$text"
  read -r _ _ w h <<<"$(visible_geometry)"
  if [ "$w" -ge 63 ]; then
    expect_lines "left click on the image" "${TIMER_LINES[@]}" click_item 1 12 $((h / 2))
    expect_lines "left click on the text" "${APP_LINES[@]}" click_item 1 40 $((h / 2))
  elif [ "$h" -ge 22 ]; then
    expect_lines "left click on the image" "${TIMER_LINES[@]}" click_item 1 $((w / 2)) $((h / 4))
    expect_lines "left click on the text" "${APP_LINES[@]}" click_item 1 $((w / 2)) $((h * 3 / 4))
  else
    expect_lines "left click" "${TIMER_LINES[@]}" click_item 1 $((w / 2)) $((h / 2))
  fi
  expect_lines "middle click" "${TIMER_LINES[@]}" click_item 2 $((w / 2)) $((h / 2))
  expect_lines "menu entry Toggle Timer" "${TIMER_LINES[@]}" choose_from_menu 1
  expect_lines "menu entry Show or Hide Pellmor" "${APP_LINES[@]}" choose_from_menu 2
}

# The position answer: what the screen shows of the item's window, in the top and height of its panel's
# inside.
xembed_position() {
  local answer x w py ph
  answer=$(ctl position --timeout "$(patience)") || host_fail "no position answer"
  read -r x _ w _ <<<"$(visible_geometry)"
  read -r _ py _ ph <<<"$(inside_of "$(panel_of "$(item_window)")")"
  expect_eq "position: x, y, width, height" \
    "$(field x "$answer") $(field y "$answer") $(field width "$answer") $(field height "$answer")" "$x $py $w $ph"
}

# No window of the companion on screen but the item in a panel: no menu left open, no window on the root.
stray_windows() {
  local window
  for window in $(xdotool search --onlyvisible --pid "$COMPANION_PID" 2>/dev/null); do
    window=$(printf '0x%x' "$window")
    [ "$(panel_of "$window")" != "$window" ] || echo "$window"
  done
}
expect_no_stray_window() {
  local strays
  wait_until test -z "$(stray_windows)" || {
    strays=$(stray_windows)
    host_fail "windows of the companion on the root window: $strays ($(geometry_of "${strays%% *}"))"
  }
  pass "no stray window"
}

# The item's window is out of every tray and off the screen, or there is none.
item_gone() { [ -z "$(item_window)" ] || item_withdrawn; }

# xembed_host_test CELL START STOP: the whole test of an XEmbed tray: the companion docks into the tray
# that START brings up in a cell of CELL, shows the three states, runs every click and menu entry and
# answers the position; STOP ends the tray, the item leaves the screen, START brings it back and the item
# docks again. The companion must be running.
xembed_host_test() {
  local cell=$1 start=$2 stop=$3
  wait_for_cell "$cell"
  xembed_states
  xembed_clicks
  xembed_position
  expect_no_stray_window
  $stop
  wait_until item_gone || host_fail "the item stays on screen after its tray exited"
  pass "withdrawn with the tray"
  $start
  wait_for_cell "$cell"
  expect_no_stray_window
}

# --- StatusNotifierItem -----------------------------------------------------------------------------------

watcher_call() {
  gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher "$@"
}
# bus_pid NAME: the process id of the connection that owns NAME on the session bus.
bus_pid() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" 2>/dev/null | sed -n 's/^(uint32 \([0-9]*\),)$/\1/p'
}
watcher_pid() { bus_pid org.kde.StatusNotifierWatcher; }
# The companion's entry in the watcher's list, by the unique name it registered from, or by its own name.
companion_registered() {
  local entry name pid
  for entry in $(watcher_call --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
    RegisteredStatusNotifierItems 2>/dev/null | grep -oE "[:a-zA-Z0-9._-]+(/[A-Za-z0-9_/]*)?"); do
    name=${entry%%/*}
    case $name in :*|org.kde.StatusNotifierItem-*) ;; *) continue ;; esac
    pid=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.GetConnectionUnixProcessID "$name" 2>/dev/null)
    [ "$pid" = "(uint32 $COMPANION_PID,)" ] && return 0
  done
  return 1
}
wait_for_registration() {
  wait_until companion_registered || host_fail "the companion is not registered with the watcher"
  pass "registered with the watcher"
}

# item_box_in GEOMETRY: the box (WxH+X+Y) around the pixels of the segment's colour within GEOMETRY of a
# screenshot, widened by MARGIN pixels (4 unless set) each side and by BUTTON_WIDTH pixels (0 unless set)
# to the left, for a host that draws the whole row, with the timer button left of the segment: where the
# host draws the item.
item_box_in() {
  local box
  "${SHOT:-screenshot}" || return 1
  box=$(segment_mask '%@' "$E2E_DIR/shot.png" -crop "$1" +repage) || return 1
  local w h x y ox oy margin=${MARGIN:-4} button=${BUTTON_WIDTH:-0}
  IFS='x+' read -r w h x y <<<"$box"
  IFS='x+' read -r _ _ ox oy <<<"$1"
  [ "$w" -gt 1 ] && [ "$h" -gt 1 ] || return 1
  echo "$((w + 2 * margin + button))x$((h + 2 * margin))+$((ox + x - margin - button))+$((oy + y - margin))"
}
has_item_box() { item_box_in "$1" >/dev/null; }
has_no_item_box() { ! item_box_in "$1" >/dev/null; }

# sni_states AREA: in each state, the host's drawing of the item within AREA (WxH+X+Y), found by the
# segment's colour, told apart from the others. The box is the first state's, widened by WIDEN pixels to
# the right for hosts that draw a label beside the icon. The README's picture of a state starts where the
# item does in it: a host keeps the right edge of an item that narrows.
sni_states() {
  local area=$1 state box pictures=()
  for state in "${STATES[@]}"; do
    enter_state "$state"
    wait_until label_is "$text" || host_fail "the item's label is not '$text'"
    wait_until has_item_box "$area" || host_fail "the host does not draw the item in $area"
    if [ -z "${box:-}" ]; then
      box=$(item_box_in "$area")
      local w h x y
      IFS='x+' read -r w h x y <<<"$box"
      box="$((w + ${WIDEN:-0}))x$h+$x+$y"
    fi
    crop_stable "$box" "$E2E_DIR/$name.png" "${SHOT:-screenshot}"
    pictures+=("$E2E_DIR/$name.png")
    [ -z "${PELLMOR_HOST_PICTURES:-}" ] || {
      local left
      IFS='x+' read -r w h x y <<<"$box"
      IFS='x+' read -r _ _ left _ <<<"$(item_box_in "$area")"
      crop_stable "$((x + w - left))x$h+$left+$y" "$E2E_DIR/$name-picture.png" "${SHOT:-screenshot}"
      host_picture "$name" "$E2E_DIR/$name-picture.png"
    }
  done
  # shellcheck disable=SC2034  # for the host's clicks
  ITEM_BOX=$box
  expect_distinct_states "${pictures[@]}"
}

# The item's XAyatanaLabel, which follows the shown text.
item_property() {
  local name
  name=$(item_bus_name) || return 1
  gdbus call --session --dest "$name" --object-path /StatusNotifierItem \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"
}
# served_pixmap SIDE FILE: the item's pixmap of SIDE x SIDE pixels in IconPixmap (ARGB in network byte
# order), written to FILE as a picture; fails where the item serves none of that size.
served_pixmap() {
  local name
  name=$(item_bus_name) || return 1
  /usr/bin/python3 - "$name" "$1" "$E2E_DIR/pixmap.rgba" <<'PYTHON' || return 1
import sys
from gi.repository import Gio, GLib
name, side, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
reply = bus.call_sync(name, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                      GLib.Variant("(ss)", ("org.kde.StatusNotifierItem", "IconPixmap")), None, 0, 5000, None)
for width, height, data in reply.unpack()[0]:
    if (width, height) == (side, side):
        argb = bytes(data)
        rgba = bytearray(len(argb))
        for channel, source in enumerate((1, 2, 3, 0)):
            rgba[channel::4] = argb[source::4]
        open(path, "wb").write(rgba)
        sys.exit(0)
sys.exit(1)
PYTHON
  convert -size "$1x$1" -depth 8 "rgba:$E2E_DIR/pixmap.rgba" "$2"
}
item_bus_name() {
  local name
  for name in $(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.ListNames | grep -oE "':[0-9.]+'|'org.kde.StatusNotifierItem-[0-9]+-[0-9]+'" | tr -d "'"); do
    [ "$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.GetConnectionUnixProcessID "$name" 2>/dev/null)" = "(uint32 $COMPANION_PID,)" ] || continue
    gdbus introspect --session --dest "$name" --object-path /StatusNotifierItem 2>/dev/null |
      grep -q org.kde.StatusNotifierItem && { echo "$name"; return 0; }
  done
  return 1
}
label_is() { item_property XAyatanaLabel 2>/dev/null | grep -qF "'$1'"; }

# No window of the companion on screen at all: on a StatusNotifierItem host the host draws the item.
expect_no_companion_window() {
  wait_until test -z "$(xdotool search --onlyvisible --pid "$COMPANION_PID" 2>/dev/null)" ||
    host_fail "a window of the companion is on screen beside the host's item"
  pass "no window of the companion on screen"
}

# --- Headless sway ----------------------------------------------------------------------------------------

# start_sway CONFIG: sway on wlroots' headless backend with the pixman renderer, its seat given a pointer
# (POINTER, the virtual-pointer client); exports WAYLAND_DISPLAY and SWAYSOCK for what runs on it.
start_sway() {
  unset DISPLAY
  export WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1
  launch sway sway -c "$1"
  wait_until test -S "$XDG_RUNTIME_DIR/wayland-1" || host_fail "sway did not start"
  export WAYLAND_DISPLAY=wayland-1
  SWAYSOCK=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name 'sway-ipc.*.sock' | head -n 1)
  export SWAYSOCK
  wait_until swaymsg -t get_outputs || host_fail "sway does not answer on $SWAYSOCK"
  launch pointer "${POINTER:?}"
  wait_until grep -q ready "$E2E_DIR/pointer.log" || host_fail "no virtual pointer"
}
wayland_shot() { grim "$E2E_DIR/shot.png"; }

# sway_click BUTTON X Y: moves the seat's pointer there and clicks (button1 left, button2 middle, button3
# right).
sway_click() {
  swaymsg -q seat - cursor set "$2" "$3"
  swaymsg -q seat - cursor press "$1"
  swaymsg -q seat - cursor release "$1"
}
# box_centre BOX: the middle of WxH+X+Y, "X Y".
box_centre() {
  local w h x y
  IFS='x+' read -r w h x y <<<"$1"
  echo "$((x + w / 2)) $((y + h / 2))"
}

# --- Desktops that draw with OpenGL (GNOME Shell, Plasma) -------------------------------------------------

# An X server with GLX (Mesa's software renderer) and a stand-in system bus, without which the shells die
# in their login-manager code.
start_gl_display() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset +extension GLX 3>"$E2E_DIR/display" \
    2>"$E2E_DIR/xvfb.log" &
  XVFB_PID=$!
  wait_until grep -q '[0-9]' "$E2E_DIR/display" || fail "Xvfb did not start"
  DISPLAY=":$(tr -dc '0-9' <"$E2E_DIR/display")"
  export DISPLAY LIBGL_ALWAYS_SOFTWARE=1
  wait_until xdpyinfo || fail "Xvfb on $DISPLAY does not answer"
  start_bus DBUS_SYSTEM_BUS_ADDRESS system_bus
}

# The shell starts in its overview, which covers the top bar: once it is in, it is told to leave it.
overview_is() {
  [ "$(gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive 2>/dev/null)" = "(<$1>,)" ]
}
leave_overview() {
  wait_until overview_is true || host_fail "GNOME Shell never showed its overview"
  gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.freedesktop.DBus.Properties.Set org.gnome.Shell OverviewActive '<false>' >/dev/null
  wait_until overview_is false || host_fail "GNOME Shell stays in its overview"
}

# busy_machine: two CPU-bound jobs beside the test, as on a loaded 2-core machine.
busy_machine() {
  local i
  for i in 1 2; do
    bash -c 'while :; do :; done' &
    HOST_PIDS+=($!)
  done
}
