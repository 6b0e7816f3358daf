#!/usr/bin/env bash
# Wake-ups, CPU, bus traffic and resident memory of idle companions, per minute, on each front end: docked
# in trayer (XEmbed, on Xvfb, a session bus without a watcher) and as a StatusNotifierItem registered with
# the test watcher (no display, a session bus of its own; the watcher re-reads the pixmaps after each
# NewIcon, as a host does). Three states, each in a companion of its own, all measured over the same
# minutes: a running timer (the H:MM text changes once a minute), a stopped timer with a fixed total, and
# signed out (no text changes in either). Beside them a bare Qt program whose timer fires once a second;
# the wake-ups and CPU are also printed as ratios to it.
# Wake-ups are the voluntary context switches of all threads (threads that start or end meanwhile
# included), CPU the threads' run time, both from /proc; the bus traffic is every message the companion
# sends (signals, and its answers to the watcher's reads), from `dbus-monitor --pcap`. For the running
# timer it also prints how late each change of text showed, against the instant the total rounds to the
# next minute (from the window's title, and from XAyatanaNewLabel).
#
#   bench/wakeups.sh [MINUTES]      3 minutes by default; needs the build of bench/run.sh
# shellcheck source=bench/harness.sh
source "$(dirname "$0")/harness.sh"
minutes=${1:-3}
states=(running stopped signed-out)

# The total changes at started + 30 s + k minutes: at each half minute of the timer's time.
started=$(awk -v now="$EPOCHREALTIME" 'BEGIN {printf "%.3f", now - 3930 + 10}')
declare -A message=(
  [running]="{\"action\":\"showTimer\",\"startedAt\":$started,\"hoursWithoutTimer\":0}"
  [stopped]='{"action":"showTimer","hoursWithoutTimer":1.5}'
  [signed-out]='{"action":"setAuthenticated","value":false}'
)
declare -A title=([running]="PauseButton|1:05" [stopped]="PlayButton|1:30" [signed-out]="PlayButton|Sign In")

start_display
start_tray
declare -A pid bus
for state in "${states[@]}"; do
  start_bus "xembed-$state"
  start_companion "xembed-$state" DBUS_SESSION_BUS_ADDRESS="$BUS_ADDRESS"
  pid[xembed-$state]=$COMPANION_PID
  start_bus "sni-$state"
  bus[sni-$state]=$BUS_ADDRESS
  start_watcher "$BUS_ADDRESS" "sni-$state"
  start_companion "sni-$state" -u DISPLAY DBUS_SESSION_BUS_ADDRESS="$BUS_ADDRESS"
  pid[sni-$state]=$COMPANION_PID
done
QT_QPA_PLATFORM=xcb "$ONCE_A_SECOND" 2>/dev/null &
bare_pid=$!
STARTED+=("$bare_pid")

for state in "${states[@]}"; do
  send "xembed-$state" "${message[$state]}"
  send "sni-$state" "${message[$state]}"
done
for state in "${states[@]}"; do
  wait_for 30 title_is "${title[$state]}" "${pid[xembed-$state]}" ||
    die "the XEmbed item ($state) shows '$(item_title "${pid[xembed-$state]}")', not '${title[$state]}'"
  wait_for 30 item_docked "${pid[xembed-$state]}" || die "the XEmbed item ($state) is not docked in trayer"
  wait_for 30 grep -q '^registered' "$WORK/sni-$state.watcher" ||
    die "the StatusNotifierItem ($state) did not register"
  dbus-monitor --address "${bus[sni-$state]}" --pcap "sender='$(registered_service "sni-$state")'" \
    >"$WORK/sni-$state.pcap" 2>/dev/null &
  STARTED+=($!)
done
xprop -spy -id "$(item_window "${pid[xembed-running]}")" _NET_WM_NAME 2>/dev/null |
  while read -r line; do echo "$EPOCHREALTIME $line"; done >"$WORK/xembed.changes" &
STARTED+=($!)
sleep 15  # past the start-up and the first change, which the pixmaps' first reading follows

measured=("${pid[@]}" "$bare_pid")
measure_start "${measured[@]}"
measured_from=$EPOCHREALTIME
until_second=$((SECONDS + minutes * 60))
while [ "$SECONDS" -lt "$until_second" ]; do
  sleep 0.5
  measure_tick "${measured[@]}"
done
measured_to=$EPOCHREALTIME
declare -A wakeups cpu threads resident
for process in "${measured[@]}"; do
  kill -0 "$process" 2>/dev/null || die "process $process ended during the measurement"
  read -r "wakeups[$process]" "cpu[$process]" "threads[$process]" <<<"$(measure_total "$process")"
  resident[$process]=$(resident_kilobytes "$process")
done
sleep 1  # the monitors' last records written

# lateness: the largest delay, in seconds, after its instant, of a change stamped on standard input (one
# time stamp a line) within the measured minutes.
lateness() {
  awk -v s="$started" -v from="$measured_from" -v to="$measured_to" '
    $1 >= from && $1 <= to {
      k = int(($1 - s - 30) / 60 + 0.5); late = $1 - (s + 30 + 60 * k)
      if (late > worst) worst = late; n++
    }
    END {printf n ? "%.3f s (%d changes)" : "no change", worst, n}'
}
traffic() { python3 "$BENCH_ROOT/bench/bus-traffic.py" "$WORK/$1.pcap" "$measured_from" "$measured_to" "${@:2}"; }
declare -A late=(
  [xembed-running]=$(grep -oE '^[0-9.]+' "$WORK/xembed.changes" | lateness)
  [sni-running]=$(traffic sni-running XAyatanaNewLabel | lateness)
)

echo "== per minute over $minutes min: wake-ups (all threads), CPU, bus messages sent; resident memory at the end"
printf '%-34s %8s %7s %7s %7s %7s %8s %8s %9s  %s\n' "" wake-ups "CPU ms" "ratio" "CPU" threads "RSS MB" \
  "bus msgs" "bus KB" "text late by at most"
printf '%-34s %8s %7s %7s %7s %7s\n' "" "" "" "to bare" "ratio" started
row() {  # row LABEL PID NAME: bus traffic for the items of the StatusNotifierItem front end
  local messages="" bytes="" members=""
  [[ $3 != sni-* ]] || read -r messages bytes members <<<"$(traffic "$3")"
  awk -v name="$1" -v w="${wakeups[$2]}" -v c="${cpu[$2]}" -v bw="${wakeups[$bare_pid]}" \
    -v bc="${cpu[$bare_pid]}" -v m="$minutes" -v t="${threads[$2]}" -v rss="${resident[$2]}" \
    -v msgs="$messages" -v bytes="$bytes" -v late="${late[$3]:-}" 'BEGIN {
      printf "%-34s %8.1f %7.2f %7.3f %7.3f %7d %8.1f %8s %9s  %s\n", name, w / m, c / m / 1e6, w / bw,
        c / bc, t, rss / 1024, msgs == "" ? "" : sprintf("%.1f", msgs / m),
        bytes == "" ? "" : sprintf("%.1f", bytes / m / 1024), late}'
  [ -z "$members" ] || [ "$members" = - ] || printf '%-34s   sent: %s\n' "" "$members"
}
for state in "${states[@]}"; do
  row "XEmbed in trayer, $state" "${pid[xembed-$state]}" "xembed-$state"
done
for state in "${states[@]}"; do
  row "StatusNotifierItem, $state" "${pid[sni-$state]}" "sni-$state"
done
row "bare Qt program, a timer every 1 s" "$bare_pid" bare
