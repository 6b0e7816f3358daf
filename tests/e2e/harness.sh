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

: "${COMPANION:?COMPANION must name the PellmorStatus executable}"
: "${PELLMORCTL:?PELLMORCTL must name the pellmorctl executable}"
: "${RESOURCES:?RESOURCES must name the resources directory}"

E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/pellmor-e2e-XXXXXX")
export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
COMPANION_OUT="$E2E_DIR/companion.out"
COMPANION_ERR="$E2E_DIR/companion.err"
XVFB_PID="" TRAY_PID="" COMPANION_PID=""

e2e_cleanup() {
  local pid
  for pid in "$COMPANION_PID" "$TRAY_PID" "$XVFB_PID"; do
    [ -z "$pid" ] || { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; } || true
  done
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

# The patience for one wait in whole seconds, scaled: patience [SECONDS] (30 when not given).
patience() { awk -v s="${1:-30}" -v k="${PELLMOR_TEST_TIME_SCALE:-1}" 'BEGIN {print int(s * (k < 1 ? 1 : k))}'; }

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

tray_running() { xwininfo -root -tree | grep -q '"panel": ("panel" "trayer")'; }

# The tray's height in pixels comes from TRAY_HEIGHT (24 when unset).
launch_tray() {
  trayer --edge top --align right --widthtype request --height "${TRAY_HEIGHT:-24}" --SetDockType true \
    --transparent false --tint 0x333333 >"$E2E_DIR/trayer.log" 2>&1 &
  TRAY_PID=$!
}
start_tray() {
  launch_tray
  wait_until tray_running || fail "trayer did not start"
}
stop_tray() {
  kill "$TRAY_PID"
  wait "$TRAY_PID" 2>/dev/null || true
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
item_title() { xprop -id "$(item_window)" _NET_WM_NAME | sed -n -E 's/^[^=]*= "(.*)"$/\1/p'; }
item_viewable() { xwininfo -id "$(item_window)" | grep -q 'Map State: IsViewable'; }

# Both title properties say TITLE.
title_is() {
  [ "$(item_title)" = "$1" ] && [ "$(xprop -id "$(item_window)" WM_NAME | sed -n -E 's/^[^=]*= "(.*)"$/\1/p')" = "$1" ]
}
wait_for_title() {
  wait_until title_is "$1" || fail "title: expected '$1', got '$(item_title)'"
  pass "title '$1'"
}

# Geometry of a window as xwininfo reports it: "X Y WIDTH HEIGHT" (absolute position).
geometry_of() {
  xwininfo -id "$1" | awk '
    /Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4}
    /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}'
}

# The child of the root window that holds the given window (the tray's panel for a docked item).
panel_of() {
  local window=$1 root parent
  root=$(xwininfo -root | awk '/Window id:/ {print $4}')
  while parent=$(xwininfo -children -id "$window" | awk '/Parent window id:/ {print $4}') &&
    [ -n "$parent" ] && [ "$parent" != "$root" ]; do
    window=$parent
  done
  echo "$window"
}

# Docked at WIDTHxHEIGHT in a settled panel: the item's window sits inside the tray's panel, mapped, and
# the panel, 2 pixels wider than the item, has reached the screen's right edge.
docked_at() {
  local window panel ix iy iw ih px py pw ph
  window=$(item_window)
  [ -n "$window" ] && panel=$(panel_of "$window") && [ "$panel" != "$window" ] && item_viewable || return 1
  read -r ix iy iw ih <<<"$(geometry_of "$window")"
  read -r px py pw ph <<<"$(geometry_of "$panel")"
  [ "${iw}x${ih}" = "$1" ] && [ "$pw" -eq $((iw + 2)) ] && [ $((px + pw)) -eq "$(xwininfo -root | awk '/Width:/ {print $2}')" ]
}
wait_for_docked_size() {
  wait_until docked_at "$1" || fail "not docked at $1: item $(geometry_of "$(item_window)"), panel $(geometry_of "$(panel_of "$(item_window)")")"
  pass "docked at $1"
}

# field NAME JSON: the number under NAME, normalised by awk (1216.0 and 1216 compare equal).
field() { sed -n -E "s/.*\"$1\": *(-?[0-9.eE+-]+).*/\1/p" <<<"$2" | awk '{print $1 + 0}'; }

ctl() { "$PELLMORCTL" "$@"; }

screenshot() { import -window root "$E2E_DIR/shot.png"; }

# The colour of one pixel of the last screenshot as "R G B" (0-255).
pixel_at() {
  convert "$E2E_DIR/shot.png" -format "%[fx:round(255*p{$1,$2}.r)] %[fx:round(255*p{$1,$2}.g)] %[fx:round(255*p{$1,$2}.b)]" info:
}
