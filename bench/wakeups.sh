#!/usr/bin/env bash
# Wake-ups and CPU per minute of the companion with a running timer, on each front end at once: docked in
# trayer (XEmbed, on Xvfb) and as a StatusNotifierItem registered with the test watcher (no display, a
# private session bus; the watcher re-reads the pixmaps after each NewIcon, as a host does). Beside them,
# over the same minutes, a bare Qt program whose timer fires once a second; each figure is also printed
# as a ratio to it. Wake-ups are the context switches (voluntary and involuntary) of all threads, CPU the
# threads' run time, both from /proc. Also prints how late each change of text showed, against the
# instant the total rounds to the next minute (from the window title, and from XAyatanaNewLabel).
#
#   bench/wakeups.sh [MINUTES]      3 minutes by default; needs the build of bench/run.sh
source "$(dirname "$0")/harness.sh"
minutes=${1:-3}

start_display
start_tray
xembed_bus=$(start_bus xembed)
start_companion xembed DBUS_SESSION_BUS_ADDRESS="$xembed_bus"
xembed_pid=$COMPANION_PID
sni_bus=$(start_bus sni)
start_watcher "$sni_bus" sni
start_companion sni -u DISPLAY DBUS_SESSION_BUS_ADDRESS="$sni_bus"
sni_pid=$COMPANION_PID
QT_QPA_PLATFORM=xcb "$ONCE_A_SECOND" 2>/dev/null &
bare_pid=$!
STARTED+=("$bare_pid")

# The total changes at started + 30 s + k minutes: at each half minute of the timer's time.
started=$(awk -v now="$EPOCHREALTIME" 'BEGIN {printf "%.3f", now - 3930 + 10}')
for name in xembed sni; do
  send "$name" "{\"action\":\"showTimer\",\"startedAt\":$started,\"hoursWithoutTimer\":0}"
done
wait_for 30 title_is "PauseButton|1:05" || die "the XEmbed item shows '$(item_title)'"
wait_for 30 grep -q '^registered' "$WORK/sni.watcher" || die "the StatusNotifierItem did not register"

xprop -spy -id "$(item_window)" _NET_WM_NAME 2>/dev/null |
  while read -r line; do echo "$EPOCHREALTIME $line"; done >"$WORK/xembed.changes" &
STARTED+=($!)
dbus-monitor --address "$sni_bus" "type='signal',member='XAyatanaNewLabel'" >"$WORK/sni.changes" 2>/dev/null &
STARTED+=($!)
sleep 15  # past the start-up and the first change, which the pixmaps' first reading follows

declare -A wakeups cpu
for pid in "$xembed_pid" "$sni_pid" "$bare_pid"; do
  wakeups[$pid]=$(context_switches "$pid")
  cpu[$pid]=$(cpu_nanoseconds "$pid")
done
measured_from=$EPOCHREALTIME
sleep $((minutes * 60))
measured_to=$EPOCHREALTIME
for pid in "$xembed_pid" "$sni_pid" "$bare_pid"; do
  kill -0 "$pid" 2>/dev/null || die "process $pid ended during the measurement"
  wakeups[$pid]=$(($(context_switches "$pid") - wakeups[$pid]))
  cpu[$pid]=$(($(cpu_nanoseconds "$pid") - cpu[$pid]))
done

# lateness: the largest delay, in seconds, after its instant, of a change stamped on standard input (one
# time stamp a line) within the measured minutes.
lateness() {
  awk -v s="$started" -v from="$measured_from" -v to="$measured_to" '
    $1 >= from && $1 <= to {
      k = int(($1 - s - 30) / 60 + 0.5); late = $1 - (s + 30 + 60 * k)
      if (late > worst) worst = late; n++
    }
    END {printf n ? "%.3f s (%d changes)" : "no change seen", worst, n}'
}
xembed_late=$(grep -oE '^[0-9.]+' "$WORK/xembed.changes" | lateness)
sni_late=$(grep -oE 'time=[0-9.]+' "$WORK/sni.changes" | sed 's/time=//' | lateness)

echo "== wake-ups and CPU per minute, a running timer, over $minutes min"
printf '%-36s %10s %10s %14s %10s  %s\n' "" "wake-ups" "CPU ms" "wake-up ratio" "CPU ratio" "text late by at most"
row() {  # row NAME PID LATENESS
  awk -v name="$1" -v w="${wakeups[$2]}" -v c="${cpu[$2]}" -v bw="${wakeups[$bare_pid]}" -v bc="${cpu[$bare_pid]}" \
    -v m="$minutes" -v late="$3" 'BEGIN {
      printf "%-36s %10.1f %10.2f %14.3f %10.3f  %s\n", name, w / m, c / m / 1e6, w / bw, c / bc, late}'
}
row "companion, XEmbed in trayer" "$xembed_pid" "$xembed_late"
row "companion, StatusNotifierItem" "$sni_pid" "$sni_late"
row "bare Qt program, a timer every 1 s" "$bare_pid" ""
