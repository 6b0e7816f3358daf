#!/usr/bin/env bash
# Without a display or a session bus the item has no button, the companion says so, and the channel still
# works.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
unset DISPLAY
start_companion

wait_until 5 grep -qx "Failed to create NSStatusItem button" "$COMPANION_OUT" ||
  fail "no failure line; standard output: $(companion_lines)"
pass "Failed to create NSStatusItem button"

ctl position --timeout 1 >/dev/null 2>&1 && fail "a position answer without a status item"
pass "no position answer"

ctl send '{"action":"bogus"}'
wait_until 5 grep -q '^Received unknown action: .*"bogus"' "$COMPANION_OUT" || fail "the channel did not answer"
expect_eq "standard output" "$(sed -E 's/^(Received unknown action: ).*/\1.../' "$COMPANION_OUT")" \
  "Failed to create NSStatusItem button
Received unknown action: ..."
# Nowhere to show the item: one line says what is missing.
expect_eq "standard error" "$(cat "$COMPANION_ERR")" \
  "No tray to show the status item in: no X display, no session bus"
