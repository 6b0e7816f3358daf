#!/usr/bin/env bash
# Builds the companion (release) and runs it on this desktop. Without a usable display (DISPLAY unset, or
# no X server answering) it starts an embedded virtual desktop first, Xvfb with the trayer system tray on a
# free display number, and says on standard error how to look at it and how to drive the companion.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
companion=build/release/PellmorStatus/PellmorStatus
pellmorctl=build/release/tools/pellmorctl

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$companion"
fi

pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to descriptor 3.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$display_file" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
  grep -q '[0-9]' "$display_file" && break
  sleep 0.1
done
DISPLAY=":$(tr -dc '0-9' <"$display_file")"
export DISPLAY
rm -f "$display_file"
xdpyinfo >/dev/null 2>&1 || { echo "run.sh: could not start a virtual display" >&2; exit 1; }
trayer --edge top --align right --widthtype request --height 24 --SetDockType true --transparent false \
  --tint 0x333333 >/dev/null 2>&1 &
pids+=($!)

cat >&2 <<MESSAGE
run.sh: no usable display, so the companion runs on an embedded virtual desktop: Xvfb on $DISPLAY with
the trayer system tray at its top right corner.
  Look at it:    import -display $DISPLAY -window root shot.png   (then open shot.png)
  Drive it:      $pellmorctl show-timer --started-ago 3930 --hours 0
                 $pellmorctl set-authenticated false
                 $pellmorctl listen            (prints what the companion sends)
  Click it:      DISPLAY=$DISPLAY xdotool mousemove 1230 12 click 1   (the timer button)
  Stop it:       Ctrl-C (or kill the companion); the virtual desktop goes with it.
MESSAGE
"$companion"
