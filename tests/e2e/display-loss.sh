#!/usr/bin/env bash
# Losing the X server ends the companion cleanly: one line on standard error, status 1, no crash, the FIFOs
# left in place. With a termination signal at the same moment it ends with exactly one of the two goodbyes.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
process_ended() { ! kill -0 "$1" 2>/dev/null; }

# Starts a display with a tray and a docked companion, then ends the X server (and, given "signal", sends
# SIGTERM to the companion at the same moment). Sets STATUS to the companion's exit status.
lose_display() {
  : >"$COMPANION_OUT"
  rm -f "$E2E_DIR/display"  # the last server's number must not be read before the new one writes its own
  start_display
  start_tray
  start_companion
  wait_for_docked_size 63x22
  kill -KILL "$XVFB_PID"
  # The companion may have ended with its display already: then the round counts as a loss alone.
  if [ "$1" = signal ]; then kill -TERM "$COMPANION_PID" 2>/dev/null || true; fi
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
  wait_until process_ended "$COMPANION_PID" || fail "the companion outlived its display"
  STATUS=0
  wait "$COMPANION_PID" || STATUS=$?
  COMPANION_PID=""
  stop_tray  # it may have ended with its display already
}

# Each round: whether a signal comes too, then the exit status, the lines about the display and the
# standard output.
for round in loss signal signal signal; do
  lose_display "$round"
  outcome="$STATUS:$(grep -c 'lost the connection to the X display' "$COMPANION_ERR"):$(companion_lines)"
  case "$round-$outcome" in
    *-1:1: | "signal-0:0:GOODBYE!") pass "$round: $outcome" ;;
    *) fail "$round: status, display lines, standard output: $outcome" ;;
  esac
  grep -q 'X11 connection broke' "$COMPANION_ERR" && fail "Qt's own exit ran"
  fifos_in_place
done
