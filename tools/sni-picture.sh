#!/usr/bin/env bash
# Takes the README's picture of the item on a StatusNotifierItem host (docs/images/sni-running.png): the
# companion with no display on a private session bus, registered with the test watcher, which saves the
# largest pixmap the item offers (the whole row, as waybar shows it) after each change of icon. The
# picture is that pixmap on a dark panel-coloured strip. Uses the debug build in build/debug.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/debug
companion=$build/PellmorStatus/PellmorStatus
pellmorctl=$build/tools/pellmorctl
watcher=$build/tests/sni-test-watcher
for program in "$companion" "$pellmorctl" "$watcher"; do
  [ -x "$program" ] || { echo "sni-picture.sh: build first (cmake --build --preset debug)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pellmor-sni-XXXXXX")
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
wait_for() { # wait_for SECONDS COMMAND...
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do [ "$SECONDS" -lt "$deadline" ] || return 1; sleep 0.1; done
}

unset DISPLAY WAYLAND_DISPLAY PELLMOR_STATUS_HOST
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" 2>/dev/null &
pids+=($!)
wait_for 10 grep -q . "$work/bus"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
export DBUS_SESSION_BUS_ADDRESS

"$watcher" "$work/icon.png" >"$work/watcher.out" &
pids+=($!)
wait_for 10 grep -qx ready "$work/watcher.out"
"$companion" >/dev/null 2>&1 &
pids+=($!)
saved_more_than() { [ "$(grep -c '^saved' "$work/watcher.out")" -gt "$1" ]; }
wait_for 30 saved_more_than 0
saves=$(grep -c '^saved' "$work/watcher.out")
"$pellmorctl" show-timer --started-ago 3930 --hours 0
wait_for 30 saved_more_than "$saves"

mkdir -p "$root/docs/images"
convert "$work/icon.png" -bordercolor '#333333' -background '#333333' -flatten -border 12x6 -strip \
  "$root/docs/images/sni-running.png"
echo "$root/docs/images/sni-running.png"
