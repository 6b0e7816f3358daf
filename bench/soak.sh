#!/usr/bin/env bash
# A long run under churn: two companions with a running timer get a message every 100 ms and a click
# every second, while the StatusNotifierWatcher is restarted every 30 s and the tray every minute. One
# chooses its front end itself on Xvfb with trayer and a session bus with the test watcher (it leaves the
# tray for the watcher while no tray runs, and comes back; it is clicked where it is shown, with the
# pointer in the tray or over the bus); the other is a StatusNotifierItem alone on a bus of its own with
# its own watcher, clicked over the bus as hosts do. Prints, once a minute, each one's resident memory,
# open descriptors, threads and where its item is shown; at the end the change of each since minute 1.
# Exits with status 1 if either ended, lost its item, or grew: more descriptors, or resident memory more
# than 1 MB and 3 % above minute 1. Minute 1, not 0, is the reference: by then every kind of message,
# click and restart has happened once, and what was allocated for the first of each stays.
#
#   bench/soak.sh [MINUTES]      20 minutes by default, at least 2; needs the build of bench/run.sh
source "$(dirname "$0")/harness.sh"
minutes=${1:-20}
[ "$minutes" -ge 2 ] || die "at least 2 minutes"

start_display
start_tray
start_bus auto
auto_bus=$BUS_ADDRESS
start_watcher "$auto_bus" auto
auto_watcher=$WATCHER_PID
start_companion auto DBUS_SESSION_BUS_ADDRESS="$auto_bus"
auto_pid=$COMPANION_PID
start_bus sni
sni_bus=$BUS_ADDRESS
start_watcher "$sni_bus" sni
sni_watcher=$WATCHER_PID
start_companion sni -u DISPLAY PELLMOR_STATUS_HOST=sni DBUS_SESSION_BUS_ADDRESS="$sni_bus"
sni_pid=$COMPANION_PID

# Each companion's channel held open as a main application holds it, and its answers read.
for name in auto sni; do
  cat "$WORK/$name/$APP_GROUP/to_main.fifo" >/dev/null &
  STARTED+=($!)
done
exec 5>"$WORK/auto/$APP_GROUP/from_main.fifo" 6>"$WORK/sni/$APP_GROUP/from_main.fifo"

running_timer() {  # a timer started 1:05:30 ago, less N seconds
  awk -v now="$EPOCHREALTIME" -v n="${1:-0}" \
    'BEGIN {printf "{\"action\":\"showTimer\",\"startedAt\":%.3f,\"hoursWithoutTimer\":0}", now - 3930 + n}'
}
# The n-th message: a cycle through every action a main application sends, the timer running but for one
# message in ten.
message() {
  case $(($1 % 10)) in
    0) running_timer $(($1 % 7200)) ;;
    1) echo '{"action":"setTimeFormat","value":"decimal"}' ;;
    2) echo '{"action":"setDecimalSymbol","value":","}' ;;
    3) echo '{"action":"requestMenubarPosition"}' ;;
    4) echo '{"action":"setTimestampsMode","value":true}' ;;
    5) echo '{"action":"setTimestampsMode","value":false}' ;;
    6) echo '{"action":"setTimeFormat","value":"hours_minutes"}' ;;
    7) echo '{"action":"setAuthenticated","value":false}' ;;
    8) echo '{"action":"setAuthenticated","value":true}' ;;
    9) echo '{"action":"clearTimer"}' ;;
  esac
}

# Clicks, alternately the primary and the middle button (the main application's window and its timer).
bus_click() {  # bus_click BUS NAME N
  local service method
  service=$(registered_service "$2")
  [ -n "$service" ] || return 0
  method=$([ $(($3 % 2)) -eq 0 ] && echo Activate || echo SecondaryActivate)
  timeout 5 dbus-send --address="$1" --dest="$service" --type=method_call --print-reply \
    /StatusNotifierItem "org.kde.StatusNotifierItem.$method" int32:0 int32:0 >/dev/null 2>&1 || true
}
tray_click() {  # tray_click N: the pointer on the docked item's centre
  local window x y w h
  window=$(item_window "$auto_pid")
  read -r x y w h <<<"$(xwininfo -id "$window" | awk '
    /Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4} /Width:/ {w = $2} /Height:/ {h = $2}
    END {print x, y, w, h}')"
  xdotool mousemove $((x + w / 2)) $((y + h / 2)) click $(($1 % 2 == 0 ? 1 : 2)) 2>/dev/null || true
}
click_both() {  # click_both N
  if item_docked "$auto_pid"; then tray_click "$1"; else bus_click "$auto_bus" auto "$1"; fi
  bus_click "$sni_bus" sni "$1"
}

# Where the item is shown: "docked" in the tray, "registered" with the newest watcher, or "none".
item_state() {  # item_state NAME
  if [ "$1" = auto ] && item_docked "$auto_pid"; then
    echo docked
  elif grep -q '^registered' "$WORK/$1.watcher"; then
    echo registered
  else
    echo none
  fi
}
figures() {  # figures NAME PID: resident kB, descriptors, threads, state
  echo "$(resident_kilobytes "$2") $(open_descriptors "$2") $(thread_count "$2") $(item_state "$1")"
}
declare -A reference
report() {  # report MINUTE
  local name pid line="" kb fds threads state
  for name in auto sni; do
    pid=${name}_pid
    kill -0 "${!pid}" 2>/dev/null || die "the $name companion ended at minute $1"
    read -r kb fds threads state <<<"$(figures "$name" "${!pid}")"
    [ "$1" != 1 ] || reference[$name]="$kb $fds"
    line+=$(printf '   %8.1f MB %4d fds %3d threads %-10s' "$(awk -v k="$kb" 'BEGIN {print k / 1024}')" \
      "$fds" "$threads" "$state")
  done
  printf '%4d min%s\n' "$1" "$line"
}

echo "== soak: a message every 100 ms, a click every second, the watchers restarted every 30 s, trayer every minute, $minutes min"
printf '%8s   %-44s   %s\n' "" "chooses its host (Xvfb + trayer + watcher)" "StatusNotifierItem alone"
wait_for 30 item_docked "$auto_pid" || die "the item was not docked in trayer"
wait_for 30 grep -q '^registered' "$WORK/sni.watcher" || die "the StatusNotifierItem did not register"
report 0
started=$SECONDS
n=0
while [ $((SECONDS - started)) -lt $((minutes * 60)) ]; do
  line=$(message "$n")
  printf '%s\n' "$line" >&5
  printf '%s\n' "$line" >&6
  n=$((n + 1))
  [ $((n % 10)) -ne 0 ] || click_both $((n / 10))
  if [ $((n % 300)) -eq 0 ]; then  # every 30 s
    [ $((n % 600)) -ne 0 ] || report $(((SECONDS - started) / 60))
    stop_pid "$auto_watcher"
    stop_pid "$sni_watcher"
    start_watcher "$auto_bus" auto
    auto_watcher=$WATCHER_PID
    start_watcher "$sni_bus" sni
    sni_watcher=$WATCHER_PID
    if [ $((n % 600)) -eq 0 ]; then  # every minute
      stop_pid "$TRAY_PID"
      start_tray
    fi
  fi
  sleep 0.1
done
[ -n "${reference[auto]:-}" ] || die "the churn never reached minute 1 (a slow machine?)"

# The churn over: a last state, then both items must show it.
exec 5>&- 6>&-
failed=0
for name in auto sni; do
  send "$name" "$(running_timer)"
done
if ! wait_for 30 title_is "PauseButton|1:05" "$auto_pid"; then
  echo "the item docked in trayer shows '$(item_title "$auto_pid")', not 'PauseButton|1:05'"
  failed=1
fi
if ! wait_for 30 grep -q '^registered' "$WORK/sni.watcher"; then
  echo "the StatusNotifierItem is not registered"
  failed=1
fi
sleep 5
report "$minutes"
echo "== change since minute 1 ($n messages and $((n / 10)) clicks to each)"
for name in auto sni; do
  pid=${name}_pid
  read -r kb0 fds0 <<<"${reference[$name]}"
  read -r kb fds _ state <<<"$(figures "$name" "${!pid}")"
  verdict=$(awk -v kb0="$kb0" -v kb="$kb" -v fds0="$fds0" -v fds="$fds" 'BEGIN {
    grown = (fds > fds0) || (kb - kb0 > 1024 && kb > kb0 * 1.03)
    printf "%s resident %+.2f MB, descriptors %+d", grown ? "GROWN:" : "steady:", (kb - kb0) / 1024, fds - fds0}')
  echo "$name  $verdict, item $state at the end"
  [[ $verdict == steady:* ]] || failed=1
done
exit "$failed"
