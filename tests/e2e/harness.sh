#!/usr/bin/env bash
# Shared by the end-to-end tests: each test sources this file, gets its own virtual X server (Xvfb) on a
# free display number with a real system tray (trayer), a private XDG_RUNTIME_DIR and the companion, drives
# it with pellmorctl and xdotool and reads the screen with xwininfo, xprop and import.
#
# The test's environment names the programs: COMPANION (the PellmorStatus executable), PELLMORCTL and
# RESOURCES (the resources directory). Everything started here is stopped by its process id on exit.
# Every wait polls for a state until a deadline on the monotonic clock, multiplied by
# PELLMOR_TEST_TIME_SCALE: a loaded machine makes a test slower, not red.
set -euo pipefail

: "${COMPANION:?}" "${PELLMORCTL:?}" "${RESOURCES:?}"

E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/pellmor-e2e-XXXXXX")
export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
# The companion sees only the hosts a test starts: never the caller's session bus or host choice.
unset DBUS_SESSION_BUS_ADDRESS PELLMOR_STATUS_HOST
mkdir -m 700 "$XDG_RUNTIME_DIR"
COMPANION_OUT="$E2E_DIR/companion.out"
COMPANION_ERR="$E2E_DIR/companion.err"
XVFB_PID="" TRAY_PID="" COMPANION_PID="" BUS_PID="" WATCHER_PID=""

# stop_process PID: asks the process to end, and makes it end after 10 s (fluxbox has been seen to hang
# on SIGTERM here). An empty PID is no process.
stop_process() {
  kill "$1" 2>/dev/null || return 0
  local deadline=$(($(date +%s%N) + 10 * 1000000000))
  while kill -0 "$1" 2>/dev/null && [ "$(date +%s%N)" -lt "$deadline" ]; do sleep 0.05; done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

e2e_cleanup() {
  local pid
  for pid in "$COMPANION_PID" "$TRAY_PID" "$WATCHER_PID" "$BUS_PID" "$XVFB_PID"; do stop_process "$pid"; done
  rm -rf "$E2E_DIR"
}
trap e2e_cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ ! -s "$COMPANION_ERR" ] || { echo "--- companion stderr:" && cat "$COMPANION_ERR"; } >&2
  [ ! -s "$E2E_DIR/xvfb.log" ] || { echo "--- Xvfb log:" && cat "$E2E_DIR/xvfb.log"; } >&2
  exit 1
}
pass() { echo "ok: $*"; }

# expect_eq WHAT ACTUAL EXPECTED
expect_eq() {
  [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"
  pass "$1 = '$3'"
}

# The patience for one wait in whole seconds: 30, scaled.
patience() { awk -v k="${PELLMOR_TEST_TIME_SCALE:-1}" 'BEGIN {print int(30 * (k < 1 ? 1 : k))}'; }

# wait_until COMMAND...: polls until the command succeeds or the patience runs out.
wait_until() {
  local deadline=$(($(date +%s%N) + $(patience) * 1000000000))
  until "$@" >/dev/null 2>&1; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

start_display() {
  # Xvfb picks a free display number itself and writes it to descriptor 3: no race with other tests.
  # -noreset: a server with no client left resets itself and refuses connections meanwhile, which would
  # catch the companion between its display probe and Qt's connection. A desktop's server never does.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$E2E_DIR/display" 2>"$E2E_DIR/xvfb.log" &
  XVFB_PID=$!
  wait_until grep -q '[0-9]' "$E2E_DIR/display" || fail "Xvfb did not start"
  DISPLAY=":$(tr -dc '0-9' <"$E2E_DIR/display")"
  export DISPLAY
  wait_until xdpyinfo || fail "Xvfb on $DISPLAY does not answer"
}

has_window() { xwininfo -root -tree | grep -qF "$1"; }

# The tray's height in pixels comes from TRAY_HEIGHT (24 when unset).
launch_tray() {
  trayer --edge top --align right --widthtype request --height "${TRAY_HEIGHT:-24}" --SetDockType true \
    --transparent false --tint 0x333333 >"$E2E_DIR/trayer.log" 2>&1 &
  TRAY_PID=$!
}
start_tray() {
  launch_tray
  wait_until has_window '"panel": ("panel" "trayer")' || fail "trayer did not start"
}
# A tray whose slots are squares of its own size, whatever the item asks for: icewm's taskbar, whose tray
# gives each icon 32 x 24. Its settings and state stay in the test's directory.
start_square_tray() {
  mkdir -p "$E2E_DIR/home"
  HOME="$E2E_DIR/home" icewm >"$E2E_DIR/icewm.log" 2>&1 &
  TRAY_PID=$!
  wait_until has_window '"SystemTray": ()' || fail "icewm's tray did not start"
}

# fluxbox's slots are squares of its toolbar's height: start_fluxbox HEIGHT. Its settings live in a home
# of its own: given a fresh home, it would replace a configuration named with -rc by its defaults.
start_fluxbox() {
  local config="$E2E_DIR/home/.fluxbox"
  mkdir -p "$config"
  printf '%s\n' "session.screen0.toolbar.height: $1" "session.screen0.toolbar.tools: systemtray" \
    "session.screen0.toolbar.widthPercent: 10" "session.styleOverlay: $config/overlay" >"$config/init"
  echo "background: none" >"$config/overlay"  # no wallpaper helper
  HOME="$E2E_DIR/home" fluxbox >"$E2E_DIR/fluxbox.log" 2>&1 &
  TRAY_PID=$!
}

# A tray manager that misbehaves as its arguments say (tests/e2e/hostile-tray.cpp, named by HOSTILE_TRAY);
# its lines ("dock <milliseconds>" for each dock request) go to $E2E_DIR/hostile.out.
start_hostile_tray() {
  "${HOSTILE_TRAY:?}" "$@" >"$E2E_DIR/hostile.out" 2>&1 &
  TRAY_PID=$!
  wait_until has_window '"hostile-tray"' || fail "hostile-tray did not start"
}

# A private session bus, and on it a StatusNotifierWatcher with a host (SNI_TEST_WATCHER) whose lines go
# to $E2E_DIR/watcher.out ("registered <service>" for each item).
start_session_bus() {
  dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-address=3 \
    3>"$E2E_DIR/bus" 2>/dev/null &
  BUS_PID=$!
  wait_until grep -q . "$E2E_DIR/bus" || fail "dbus-daemon did not start"
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$E2E_DIR/bus")
  export DBUS_SESSION_BUS_ADDRESS
}
start_watcher() {
  "${SNI_TEST_WATCHER:?}" >"$E2E_DIR/watcher.out" 2>&1 &
  WATCHER_PID=$!
  wait_until grep -qx ready "$E2E_DIR/watcher.out" || fail "the StatusNotifierWatcher did not start"
}

stop_tray() {
  stop_process "$TRAY_PID"
  TRAY_PID=""
}

start_companion() {
  "$COMPANION" >"$COMPANION_OUT" 2>"$COMPANION_ERR" &
  COMPANION_PID=$!
}

# The item's window id, from its title "<image name>|<text>"; empty when there is none.
item_window() {
  xwininfo -root -tree | sed -n -E 's/^ *(0x[0-9a-f]+) "(Play|Pause|Stop)Button\|.*/\1/p' | head -n 1
}
# xwininfo about one window. Given no window id, xwininfo and xprop wait for a click on the screen.
window_info() { [ -n "$1" ] && xwininfo -id "$@"; }
item_titles() {
  local window
  window=$(item_window)
  [ -n "$window" ] && xprop -id "$window" _NET_WM_NAME WM_NAME | sed -n -E 's/^[^=]*= "(.*)"$/\1/p'
}
item_viewable() { window_info "$(item_window)" | grep -q 'Map State: IsViewable'; }
# The item's window is off the screen and out of any tray.
item_withdrawn() {
  local window
  window=$(item_window)
  [ -n "$window" ] && [ "$(panel_of "$window")" = "$window" ] && ! item_viewable
}
# Both title properties say TITLE.
title_is() { [ "$(item_titles)" = "$1"$'\n'"$1" ]; }
wait_for_title() {
  wait_until title_is "$1" || fail "title: expected '$1', got '$(item_titles)'"
  pass "title '$1'"
}

# Geometry of a window as xwininfo reports it: "X Y WIDTH HEIGHT" (absolute position).
geometry_of() {
  window_info "$1" | awk '
    /Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4}
    /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}'
}

# The window that holds the given one (its tray's slot for a docked item).
parent_of() { window_info "$1" -children | awk '/Parent window id:/ {print $4}'; }
root_window() { xwininfo -root | awk '/Window id:/ {print $4}'; }
# The child of the root window that holds the given window (the tray's panel for a docked item).
panel_of() {
  local window=$1 root parent
  root=$(root_window)
  while parent=$(parent_of "$window") &&
    [ -n "$parent" ] && [ "$parent" != "$root" ]; do
    window=$parent
  done
  echo "$window"
}

# Docked at WIDTHxHEIGHT in trayer's settled panel: 2 pixels wider than the item, at the screen's right edge.
docked_at() {
  local px pw
  in_slot "$1" || return 1
  read -r px _ pw _ <<<"$(geometry_of "$(panel_of "$(item_window)")")"
  [ "$pw" -eq $((${1%x*} + 2)) ] && [ $((px + pw)) -eq "$(xwininfo -root | awk '/Width:/ {print $2}')" ]
}

# Docked: the item's window sits inside a tray's panel, mapped (any tray).
in_a_panel() {
  local window
  window=$(item_window)
  [ -n "$window" ] && [ "$(panel_of "$window")" != "$window" ] && item_viewable
}
# Docked in a slot of WIDTHxHEIGHT.
in_slot() { in_a_panel && [ "$(geometry_of "$(item_window)" | awk '{print $3 "x" $4}')" = "$1" ]; }
# wait_for_slot WIDTHxHEIGHT [CHECK]: until the check (in_slot unless named) passes for that size.
wait_for_slot() {
  wait_until "${2:-in_slot}" "$1" ||
    fail "not docked in a $1 slot: item $(geometry_of "$(item_window)"), panel $(geometry_of "$(panel_of "$(item_window)")")"
  pass "docked in a $1 slot"
}
wait_for_docked_size() { wait_for_slot "$1" docked_at; }

# check_position WHAT: the position answer is the item's left edge and width and its panel's top and
# height, as X reports them.
check_position() {
  local answer ix iw py ph
  answer=$(ctl position --timeout "$(patience)") || fail "no position answer"
  read -r ix _ iw _ <<<"$(geometry_of "$(item_window)")"
  read -r _ py _ ph <<<"$(geometry_of "$(panel_of "$(item_window)")")"
  expect_eq "$1: x, y, width, height" "$(field x "$answer") $(field y "$answer") $(field width "$answer") $(field height "$answer")" \
    "$ix $py $iw $ph"
}

# listen_after ACTION...: the outgoing line that the action causes. The companion's write waits in its
# open until the listener reads, so the listener may start after the action.
listen_after() {
  "$@"
  ctl listen --count 1 --timeout "$(patience)" || fail "no outgoing line after: $*"
}

menu_open() { [ "$(xdotool search --onlyvisible --class PellmorStatus | wc -l)" -ge 2 ]; }
# The open menu's window: the visible window of the companion other than the item's.
menu_window() {
  local item window
  item=$(printf '%d' "$(item_window)")
  for window in $(xdotool search --onlyvisible --class PellmorStatus); do
    [ "$window" = "$item" ] || { echo "$window" && return; }
  done
}
# Two rectangles "X Y W H" overlap.
overlap() {
  local ax ay aw ah bx by bw bh
  read -r ax ay aw ah <<<"$1"
  read -r bx by bw bh <<<"$2"
  [ "$ax" -lt $((bx + bw)) ] && [ "$bx" -lt $((ax + aw)) ] && [ "$ay" -lt $((by + bh)) ] && [ "$by" -lt $((ay + ah)) ]
}
# choose_from_menu N: opens the menu with a right click on the item, checks that it leaves the item
# visible, and picks its Nth entry with the keyboard.
choose_from_menu() {
  local x y w h menu
  read -r x y w h <<<"$(geometry_of "$(item_window)")"
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 3
  wait_until menu_open || fail "no menu after a right click"
  menu=$(geometry_of "$(menu_window)")
  ! overlap "$menu" "$x $y $w $h" || fail "the menu ($menu) covers the item ($x $y $w $h)"
  xdotool key --repeat "$1" Down
  xdotool key Return
}

companion_lines() { cat "$COMPANION_OUT"; }

fifos_in_place() {
  for fifo in to_main.fifo from_main.fifo; do
    [ -p "$(find "$XDG_RUNTIME_DIR" -name "$fifo" | head -n 1)" ] || fail "$fifo was removed"
  done
}

# field NAME JSON: the number under NAME, normalised by awk (1216.0 and 1216 compare equal).
field() { sed -n -E "s/.*\"$1\": *(-?[0-9.eE+-]+).*/\1/p" <<<"$2" | awk '{print $1 + 0}'; }

ctl() { "$PELLMORCTL" "$@"; }

screenshot() { import -window root "$E2E_DIR/shot.png"; }

# host_picture STATE IMAGE [OPTION...]: with PELLMOR_HOST_PICTURES naming a folder, the host's drawing of the
# item in STATE (IMAGE, cut by ImageMagick's OPTIONs) goes there four times enlarged without smoothing, as
# <host>-STATE.png: the host is the test's name, or HOST_PICTURE. Without metadata, the same drawing gives
# the same bytes (tools/host-pictures.sh).
host_picture() {
  [ -z "${PELLMOR_HOST_PICTURES:-}" ] || convert "$2" "${@:3}" -filter point -resize 400% -strip \
    "$PELLMOR_HOST_PICTURES/${HOST_PICTURE:-$(basename "$0" .sh)}-$1.png"
}

# pixel_at IMAGE X Y: the colour of one pixel as "R G B" (0-255).
pixel_at() {
  convert "$1" -format "%[fx:round(255*p{$2,$3}.r)] %[fx:round(255*p{$2,$3}.g)] %[fx:round(255*p{$2,$3}.b)]" info:
}

# mismatches TOLERANCE "WHAT|DX DY|R G B"...: takes a screenshot and names each place, relative to the
# item's top-left corner, whose colour is not within the tolerance of the one expected; "tray" expects the
# tray's own colour, just left of the item.
mismatches() {
  local tolerance=$1 x y tray what where expected dx dy actual
  shift
  read -r x y _ _ <<<"$(geometry_of "$(item_window)")"
  screenshot
  tray=$(pixel_at "$E2E_DIR/shot.png" $((x - 1)) $((y + 11)))
  for case in "$@"; do
    IFS='|' read -r what where expected <<<"$case"
    read -r dx dy <<<"$where"
    [ "$expected" != tray ] || expected=$tray
    actual=$(pixel_at "$E2E_DIR/shot.png" $((x + dx)) $((y + dy)))
    # every channel within the tolerance
    awk -v a="$actual" -v b="$expected" -v t="$tolerance" \
      'BEGIN {split(a, x); split(b, y); for (i = 1; i <= 3; i++) if ((x[i] - y[i]) ^ 2 > t ^ 2) exit 1}' ||
      echo "$what at +$dx+$dy: expected $expected, got $actual;"
  done
}
painted() { [ -z "$(mismatches "$@")" ]; }
# wait_for_paint TOLERANCE CASE...: screenshots until the item's paint shows every case.
wait_for_paint() {
  wait_until painted "$@" || fail "$(mismatches "$@")"
  pass "painted as expected"
}

# enter_state "name|image|text|command;command...": sends the commands with pellmorctl; sets `name`, `image`
# and `text` for the caller.
enter_state() {
  local commands step steps
  # shellcheck disable=SC2034  # the caller's
  IFS='|' read -r name image text commands <<<"$1"
  IFS=';' read -r -a steps <<<"$commands"
  for step in "${steps[@]}"; do
    # shellcheck disable=SC2086  # the step is words on purpose
    ctl $step
  done
}

# The coloured segment's colour from the resource bundle, as "R G B".
segment_colour() { pixel_at "xc:$(cat "$RESOURCES/StatusItemBackground.colour")" 0 0; }
