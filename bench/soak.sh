#!/usr/bin/env bash
# A long run under churn: two companions with a running timer get a message every 100 ms and a click
# every second, while the StatusNotifierWatcher is restarted every 30 s and the tray every minute. One
# chooses its front end itself on Xvfb with trayer and a session bus with the test watcher (it leaves the
# tray for the watcher while no tray runs, and comes back; it is clicked where it is shown, with the
# pointer in the tray or over the bus); the other is a StatusNotifierItem alone on a bus of its own with
# its own watcher, clicked over the bus as hosts do. Prints, once a minute, each one's resident memory,
# open descriptors, threads and where its item is shown; at the end the change since the reference.
# Exits with status 1 if either ended, lost its item, or grew: more descriptors, or resident memory more
# than 1 MB and 3 % above the reference. The reference is taken after the first minute, not at the start:
# by then every kind of message, click and restart has happened once, and what was allocated for the
# first of each stays. It and the end are taken in the same state (a running timer, both items shown).
#
#   bench/soak.sh [MINUTES]      20 minutes by default, at least 2; needs the build of bench/run.sh
# shellcheck source=bench/harness.sh
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
# shellcheck disable=SC2034  # read by name in report
sni_pid=$COMPANION_PID

# Each companion's channel held open as a main application holds it, and its answers read (opened for
# writing too: the companion opens and closes its end for each line, which would end a plain reader).
for name in auto sni; do
  cat 0<>"$WORK/$name/$APP_GROUP/to_main.fifo" >"$WORK/$name.answers" &
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
  timeout 5 dbus-send --bus="$1" --dest="$service" --type=method_call --print-reply \
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
descriptor_targets() { find /proc/"$1"/fd -mindepth 1 -maxdepth 1 -printf '%l\n' 2>/dev/null | sort; }
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
    if [ "$1" = reference ]; then
      reference[$name]="$kb $fds"
      descriptor_targets "${!pid}" >"$WORK/$name.descriptors"
    fi
    line+=$(printf '   %8.1f MB %4d fds %3d threads %-10s' "$(awk -v k="$kb" 'BEGIN {print k / 1024}')" \
      "$fds" "$threads" "$state")
  done
  printf '%9s%s\n' "$1" "$line"
}

# The same state before the reference and at the end (signed in, a running timer at 1:05, as in minute 0),
# both items shown, and a few seconds for what the churn left pending: the two are then comparable.
settle() {
  local final
  final=$(printf '%s\n' '{"action":"setAuthenticated","value":true}' '{"action":"setTimestampsMode","value":false}' \
    '{"action":"setTimeFormat","value":"hours_minutes"}' '{"action":"setDecimalSymbol","value":"."}' \
    "$(running_timer 10)")
  printf '%s\n' "$final" >&5
  printf '%s\n' "$final" >&6
  wait_for 30 title_is "PauseButton|1:05" "$auto_pid" ||
    echo "the item of the companion that chooses shows '$(item_title "$auto_pid")', not 'PauseButton|1:05'"
  wait_for 30 item_docked "$auto_pid" || echo "the item of the companion that chooses is not docked in trayer"
  wait_for 30 grep -q '^registered' "$WORK/sni.watcher" || echo "the StatusNotifierItem is not registered"
  sleep 5
}

echo "== soak: a message every 100 ms, a click every second, the watchers restarted every 30 s, trayer every minute, $minutes min"
printf '%9s   %-44s   %s\n' "" "chooses its host (Xvfb + trayer + watcher)" "StatusNotifierItem alone"
wait_for 30 item_docked "$auto_pid" || die "the item was not docked in trayer"
wait_for 30 grep -q '^registered' "$WORK/sni.watcher" || die "the StatusNotifierItem did not register"
report start
started=$SECONDS
n=0
while [ $((SECONDS - started)) -lt $((minutes * 60)) ]; do
  line=$(message "$n")
  printf '%s\n' "$line" >&5
  printf '%s\n' "$line" >&6
  n=$((n + 1))
  [ $((n % 10)) -ne 0 ] || click_both $((n / 10))
  if [ $((n % 300)) -eq 0 ]; then  # every 30 s
    # Once a minute, before the restarts: where the items are shown once settled.
    [ $((n % 600)) -ne 0 ] || [ -z "${reference[auto]:-}" ] || report "$(((SECONDS - started) / 60)) min"
    stop_pid "$auto_watcher"
    stop_pid "$sni_watcher"
    start_watcher "$auto_bus" auto
    auto_watcher=$WATCHER_PID
    start_watcher "$sni_bus" sni
    sni_watcher=$WATCHER_PID
    if [ $((n % 600)) -eq 0 ]; then  # every minute
      stop_pid "$TRAY_PID"
      start_tray
      if [ -z "${reference[auto]:-}" ]; then
        settle
        report reference
      fi
    fi
  fi
  sleep 0.1
done
[ -n "${reference[auto]:-}" ] || die "the churn never reached its first minute (a slow machine?)"

failed=0
problems=$(settle)
[ -z "$problems" ] || {
  echo "$problems"
  failed=1
}
report end
echo "== change since the reference ($n messages and $((n / 10)) clicks to each)"
for name in auto sni; do
  pid=${name}_pid
  read -r kb0 fds0 <<<"${reference[$name]}"
  read -r kb fds _ state <<<"$(figures "$name" "${!pid}")"
  verdict=$(awk -v kb0="$kb0" -v kb="$kb" -v fds0="$fds0" -v fds="$fds" 'BEGIN {
    grown = (fds > fds0) || (kb - kb0 > 1024 && kb > kb0 * 1.03)
    printf "%s resident %+.2f MB, descriptors %+d", grown ? "GROWN:" : "steady:", (kb - kb0) / 1024, fds - fds0}')
  echo "$name  $verdict, item $state at the end, $(wc -l <"$WORK/$name.answers") lines to the main application"
  [[ $verdict == steady:* ]] || {
    failed=1
    descriptor_targets "${!pid}" | diff "$WORK/$name.descriptors" - | sed -n 's/^[<>]/  descriptor &/p'
  }
done
exit "$failed"
