#!/usr/bin/env bash
# Shared by the desktop benchmarks (wakeups.sh, soak.sh): brings up what a desktop gives the companion on
# private instances (Xvfb with trayer, a session bus, the test watcher), runs companions in runtime
# directories of their own, and reads what /proc says about a process. Everything started here is
# stopped by its process id on exit. Needs the release build of bench/run.sh (BUILD names it).
set -euo pipefail

BENCH_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$BENCH_ROOT/build/bench}
COMPANION=$BUILD/PellmorStatus/PellmorStatus
WATCHER=$BUILD/tests/sni-test-watcher
ONCE_A_SECOND=$BUILD/bench/once-a-second
APP_GROUP=$(sed -n 's/^PELLMOR_APP_GROUP_IDENTIFIER:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
for program in "$COMPANION" "$WATCHER" "$ONCE_A_SECOND"; do
  [ -x "$program" ] || { echo "$0: build first: bash bench/run.sh --build-only" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/pellmor-bench-XXXXXX")
STARTED=()
stop_pid() {
  kill "$1" 2>/dev/null || return 0
  local deadline=$((SECONDS + 10))
  while kill -0 "$1" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.05; done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
bench_cleanup() {
  local pid
  for pid in "${STARTED[@]}"; do stop_pid "$pid"; done
  rm -rf "$WORK"
}
trap bench_cleanup EXIT
trap "exit 143" TERM INT HUP  # the clean-up runs on these too
# The companions see only the hosts started here.
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS PELLMOR_STATUS_HOST

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}
die() {
  echo "$0: $*" >&2
  exit 1
}

# start_display: Xvfb on a free display number, exported as DISPLAY.
start_display() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$WORK/display" 2>"$WORK/xvfb.log" &
  STARTED+=($!)
  wait_for 30 grep -q '[0-9]' "$WORK/display" || die "Xvfb did not start"
  DISPLAY=":$(tr -dc '0-9' <"$WORK/display")"
  export DISPLAY
  wait_for 30 xdpyinfo || die "Xvfb on $DISPLAY does not answer"
}
# start_tray: trayer, as the README shows it; sets TRAY_PID.
start_tray() {
  trayer --edge top --align right --widthtype request --height 24 --SetDockType true --transparent false \
    --tint 0x333333 >>"$WORK/trayer.log" 2>&1 &
  TRAY_PID=$!
  STARTED+=("$TRAY_PID")
  wait_for 30 has_window '"panel": ("panel" "trayer")' || die "trayer did not start"
}
has_window() { xwininfo -root -tree | grep -qF "$1"; }

# start_bus NAME: a private session bus; sets BUS_ADDRESS (read by the scripts that source this one).
start_bus() {
  dbus-daemon --session --nofork --print-address=3 3>"$WORK/$1.bus" >/dev/null 2>&1 &
  STARTED+=($!)
  wait_for 30 grep -q . "$WORK/$1.bus" || die "dbus-daemon did not start"
  # shellcheck disable=SC2034
  BUS_ADDRESS=$(head -n 1 "$WORK/$1.bus")
}
# start_watcher ADDRESS NAME: the test watcher on that bus, re-reading the pixmaps after every NewIcon as a
# host does; sets WATCHER_PID.
start_watcher() {
  DBUS_SESSION_BUS_ADDRESS=$1 "$WATCHER" "$WORK/$2.png" >"$WORK/$2.watcher" 2>&1 &
  WATCHER_PID=$!
  STARTED+=("$WATCHER_PID")
  wait_for 30 grep -qx ready "$WORK/$2.watcher" || die "the watcher did not start"
}

# start_companion NAME [-u VARIABLE]... [VARIABLE=VALUE]...: a companion with its own runtime directory
# and that environment (env's arguments); sets COMPANION_PID and leaves its FIFO at $WORK/NAME/<group>/from_main.fifo.
start_companion() {
  local name=$1
  shift
  mkdir -p "$WORK/$name" && chmod 700 "$WORK/$name"
  env "$@" XDG_RUNTIME_DIR="$WORK/$name" "$COMPANION" >"$WORK/$name.out" 2>"$WORK/$name.err" &
  COMPANION_PID=$!
  STARTED+=("$COMPANION_PID")
  wait_for 30 test -p "$WORK/$name/$APP_GROUP/from_main.fifo" || die "$name: no FIFO"
}
# send NAME LINE: one line to that companion, as the main application writes it.
# shellcheck disable=SC2016  # expanded by the inner shell, from its own arguments
send() { timeout 10 bash -c 'printf "%s\n" "$1" >"$2"' _ "$2" "$WORK/$1/$APP_GROUP/from_main.fifo"; }

# The item's window id on DISPLAY, from its title "<image name>|<text>": the one of process PID, or the
# first one without PID; empty when there is none.
item_window() {
  local window
  for window in $(xwininfo -root -tree | sed -n -E 's/^ *(0x[0-9a-f]+) "(Play|Pause|Stop)Button\|.*/\1/p'); do
    if [ -z "${1:-}" ] || [ "$(xprop -id "$window" _NET_WM_PID | sed -n 's/.* = //p')" = "$1" ]; then
      echo "$window"
      return
    fi
  done
}
item_title() {  # item_title [PID]
  local window
  window=$(item_window "${1:-}")
  [ -n "$window" ] && xprop -id "$window" _NET_WM_NAME | sed -n -E 's/^[^=]*= "(.*)"$/\1/p'
}
title_is() { [ "$(item_title "${2:-}")" = "$1" ]; }  # title_is TITLE [PID]
item_docked() {  # item_docked [PID]: its window mapped inside a tray's
  local window
  window=$(item_window "${1:-}")
  [ -n "$window" ] && xwininfo -id "$window" | grep -q 'Map State: IsViewable' &&
    [ "$(xwininfo -id "$window" -tree | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p')" != \
      "$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')" ]
}
# The unique bus name an item registered with the watcher NAME under; empty before it registers.
registered_service() { sed -n 's/^registered //p' "$WORK/$1.watcher" | tail -n 1; }

# What /proc says of each thread of a process: "tid wake-ups CPU-nanoseconds" a line, where the wake-ups
# are the voluntary context switches (each time the thread waited and was woken again; being preempted
# on a busy machine is no wake-up). Shell built-ins only, so sampling often costs no process.
thread_counts() {
  local task key value switches cpu
  for task in /proc/"$1"/task/*; do
    switches=0
    while read -r key value; do
      [ "$key" != voluntary_ctxt_switches: ] || switches=$value
    done <"$task/status" 2>/dev/null || continue
    read -r cpu _ <"$task/schedstat" 2>/dev/null || continue
    echo "${task##*/} $switches $cpu"
  done
}
# A measurement over all threads of some processes, threads that start or end meanwhile included: call
# measure_start PID..., then measure_tick PID... at least once a second, then measure_total PID. A thread
# that ends keeps what it did up to the last tick before its end (at most a second of its life is lost).
declare -A MEASURE_BASE MEASURE_LAST
measure_update() {  # measure_update BASE_FOR_NEW PID...
  local base=$1 pid tid switches cpu
  shift
  for pid; do
    while read -r tid switches cpu; do
      [ -n "${MEASURE_BASE[$pid:$tid]:-}" ] || MEASURE_BASE[$pid:$tid]=${base:-"$switches $cpu"}
      MEASURE_LAST[$pid:$tid]="$switches $cpu"
    done < <(thread_counts "$pid")
  done
}
measure_start() { measure_update "" "$@"; }
measure_tick() { measure_update "0 0" "$@"; }
# measure_total PID: "wake-ups CPU-nanoseconds threads-started" since measure_start.
measure_total() {
  local key switches=0 cpu=0 started=0 last base
  for key in "${!MEASURE_LAST[@]}"; do
    [ "${key%%:*}" = "$1" ] || continue
    read -r -a last <<<"${MEASURE_LAST[$key]}"
    read -r -a base <<<"${MEASURE_BASE[$key]}"
    switches=$((switches + last[0] - base[0]))
    cpu=$((cpu + last[1] - base[1]))
    [ "${MEASURE_BASE[$key]}" != "0 0" ] || started=$((started + 1))
  done
  echo "$switches $cpu $started"
}
resident_kilobytes() { awk '/^VmRSS:/ {print $2}' /proc/"$1"/status; }
open_descriptors() { find /proc/"$1"/fd -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }
thread_count() { awk '/^Threads:/ {print $2}' /proc/"$1"/status; }
