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

# The virtual desktop is the end-to-end tests' own: Xvfb on a free display number with trayer, stopped on
# exit. The companion keeps the caller's runtime directory, so pellmorctl finds it from another terminal.
caller_runtime=${XDG_RUNTIME_DIR:-}
COMPANION=$companion PELLMORCTL=$pellmorctl RESOURCES=resources
# shellcheck source=tests/e2e/harness.sh
source tests/e2e/harness.sh
[ -z "$caller_runtime" ] || export XDG_RUNTIME_DIR="$caller_runtime"
start_display
start_tray

cat >&2 <<MESSAGE
run.sh: no usable display, so the companion runs on an embedded virtual desktop: Xvfb on $DISPLAY with
the trayer system tray at its top right corner.
  Look at it:    import -display $DISPLAY -window root shot.png   (then open shot.png)
  Drive it:      $pellmorctl show-timer --started-ago 3930 --hours 0
                 $pellmorctl set-authenticated false
                 $pellmorctl listen            (prints what the companion sends)
  Click it:      DISPLAY=$DISPLAY xdotool mousemove 1230 12 click 1   (the timer button)
  Stop it:       Ctrl-C (or kill the companion); the virtual desktop goes with it.
  (pellmorctl needs XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR in another terminal.)
MESSAGE
"$companion"
