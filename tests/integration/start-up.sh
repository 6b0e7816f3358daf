#!/usr/bin/env bash
# The companion's process from its first instant: a hang-up signal during the libraries' start-up, a log
# reader that has gone away, a second companion for the same container, an X server that stalls or is gone
# before Qt connects, no XDG_RUNTIME_DIR, and a refused container under the systemd user unit.
#
# Besides the harness's programs, the environment names DESKTOP (the desktop executable), RAISE_AT_LOAD (a
# library that raises SIGHUP while the libraries start), UNIT (the systemd user unit's template) and
# GROUP (the application-group identifier).
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/../e2e/harness.sh"
: "${DESKTOP:?}" "${RAISE_AT_LOAD:?}" "${UNIT:?}" "${GROUP:?}"
unset DISPLAY

# end_companion: SIGTERM; sets ENDED to the exit status and the number of farewells, e.g. "0 1".
end_companion() {
  kill -s TERM "$COMPANION_PID"
  local status=0
  wait "$COMPANION_PID" || status=$?
  COMPANION_PID=""
  ENDED="$status $(grep -c '^GOODBYE!$' "$COMPANION_OUT")"
}
started_headless() { grep -qx "Failed to create NSStatusItem button" "$COMPANION_OUT"; }

# A SIGHUP before main runs (here, while the libraries start) waits for the event loop like any other.
# The sanitizers' runtime wants to be the first library; this one only raises a signal.
: >"$COMPANION_OUT"
LD_PRELOAD="$RAISE_AT_LOAD" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
  "$COMPANION" >"$COMPANION_OUT" 2>"$COMPANION_ERR" &
COMPANION_PID=$!
status=0
wait "$COMPANION_PID" || status=$?
COMPANION_PID=""
expect_eq "a hang-up while the libraries start: exit status and farewells" \
  "$status $(grep -c '^GOODBYE!$' "$COMPANION_OUT")" "0 1"

# With its standard output's reader gone, the first line it prints fails, and the channel is still served.
exec 8> >(exit 0)
reader=$!
wait "$reader" 2>/dev/null || true
"$COMPANION" >&8 2>"$COMPANION_ERR" &
COMPANION_PID=$!
exec 8>&-
writes() { awk '/^syscw/ {print $2}' "/proc/$COMPANION_PID/io"; }
wait_until ctl send '{"action":"bogus"}' || fail "no channel after the first line found no reader"
before=$(writes)
ctl send '{"action":"bogus"}'
wrote_again() { [ "$(writes)" -gt "$before" ]; }
wait_until wrote_again || fail "the second unknown action printed nothing"
end_companion
expect_eq "after lines for nobody: exit status" "${ENDED% *}" 0

# One companion per container: a second started beside it shows nothing and ends with status 0 and one
# line, before the first's channel would lose a line to it. One started as the first is ending (a restart)
# waits for it and serves the channel.
: >"$COMPANION_OUT"
start_companion
wait_until ctl send '{"action":"bogus"}' || fail "no channel for the first companion"
status=0
timeout "$(patience)" "$COMPANION" >"$E2E_DIR/second.out" 2>"$E2E_DIR/second.err" || status=$?
expect_eq "a second companion: status, standard output | standard error" \
  "$status $(cat "$E2E_DIR/second.out")| $(cat "$E2E_DIR/second.err")" \
  "0 | Pellmor Status is already running for $XDG_RUNTIME_DIR/$GROUP"
kill -s TERM "$COMPANION_PID"
"$COMPANION" >"$E2E_DIR/next.out" 2>"$E2E_DIR/next.err" &
next=$!
wait "$COMPANION_PID" || true
COMPANION_PID=$next COMPANION_OUT="$E2E_DIR/next.out"
served_by_next() { ctl send '{"action":"restarted"}' && grep -qF '"restarted"' "$COMPANION_OUT"; }
wait_until served_by_next || fail "the restarted companion does not serve the channel: $(cat "$E2E_DIR/next.err")"
end_companion
expect_eq "the restarted companion: exit status and farewells" "$ENDED" "0 1"
COMPANION_OUT="$E2E_DIR/companion.out"

# An X server that accepts connections and never answers counts as no display: the companion serves its
# channel headless and SIGTERM ends it.
start_display
kill -s STOP "$XVFB_PID"
: >"$COMPANION_OUT"
start_companion
wait_until started_headless || fail "stuck on a stalled X server; standard output: $(companion_lines)"
expect_eq "a stalled X server: standard error" "$(cat "$COMPANION_ERR")" \
  "No tray to show the status item in: no X display, no session bus"
end_companion
expect_eq "a stalled X server: exit status and farewells" "$ENDED" "0 1"
kill -s CONT "$XVFB_PID"

# The launcher found a display, which is gone when Qt connects: the one line about it and status 1.
status=0
QT_QPA_PLATFORM=xcb DISPLAY=:64999 "$DESKTOP" >"$COMPANION_OUT" 2>"$COMPANION_ERR" || status=$?
expect_eq "a display gone before Qt connects: status and standard error" "$status $(cat "$COMPANION_ERR")" \
  "1 PellmorStatus: lost the connection to the X display :64999"

# Without XDG_RUNTIME_DIR, Qt and the companion use the same directory, and only one line says so.
start_tray
: >"$COMPANION_OUT"
(unset XDG_RUNTIME_DIR && exec "$COMPANION" >"$COMPANION_OUT" 2>"$COMPANION_ERR") &
COMPANION_PID=$!
wait_until in_a_panel || fail "did not dock without XDG_RUNTIME_DIR"
expect_eq "without XDG_RUNTIME_DIR: standard error" "$(cat "$COMPANION_ERR")" \
  "XDG_RUNTIME_DIR is not set; using /tmp/runtime-$(id -u) instead"
end_companion
expect_eq "without XDG_RUNTIME_DIR: exit status and farewells" "$ENDED" "0 1"

# A refused container is fatal, and the systemd user unit does not restart after that ending.
stop_tray
rm -rf "${XDG_RUNTIME_DIR:?}/$GROUP"
ln -s "$E2E_DIR" "$XDG_RUNTIME_DIR/$GROUP"
status=0
"$COMPANION" >"$COMPANION_OUT" 2>"$COMPANION_ERR" || status=$?
expect_eq "a refused container: last line on standard error" "$(tail -n 1 "$COMPANION_ERR")" \
  "PellmorStatus/FIFOManager:14: Fatal error: Could not find App Group container"
[ "$status" -gt 128 ] || fail "a refused container: status $status, not a signal"
ending="SIG$(kill -l $((status - 128)))"
case " $(sed -n 's/^RestartPreventExitStatus=//p' "$UNIT") " in
  *" $ending "*) pass "the unit does not restart after $ending" ;;
  *) fail "the unit restarts after $ending ($(grep '^Restart' "$UNIT" | tr '\n' ' '))" ;;
esac
