#!/usr/bin/env bash
# Tray managers that misbehave on purpose (hostile-tray) cannot take the item away: a manager that takes
# over and exits at once never gets its window; a forged MANAGER message leaves it docked and answering
# in trayer; a tray that destroys the slot with the item inside, or hands it straight back, gets asked
# again less and less often, and a later trayer gets the item; a tray that resizes its slot leaves the
# item asking for its own size, and one that tells it of a size it does not have changes nothing; a tray
# that resizes the item while the item answers its map (the item's window made anew after a tray destroyed
# the last) keeps the item at that size; a tray that never says it has embedded the item still shows it
# painted; a tray whose window is invisible (as KDE's XEmbed proxy's) loses the item to a
# StatusNotifierWatcher, leaving no window behind.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/harness.sh"
start_display
start_tray
start_companion
wait_for_docked_size 63x22
window=$(item_window)

# Trayer gives its icons up when it loses the selection; the next trayer gets the same window.
"$HOSTILE_TRAY" --exit-after 50 >/dev/null
stop_tray
start_tray
wait_for_docked_size 63x22
expect_eq "the item's window after a manager that exited 50 ms after taking over" "$(item_window)" "$window"

"$HOSTILE_TRAY" --forge-manager
check_position "after a forged MANAGER message"
wait_for_docked_size 63x22

dock_times() { sed -n 's/^dock //p' "$E2E_DIR/hostile.out"; }
docked_at_least() { [ "$(dock_times | wc -l)" -ge "$1" ]; }
window_gone() { ! xwininfo -id "$1" >/dev/null 2>&1; }
stop_tray
start_hostile_tray --destroy-slot-after 200
wait_until window_gone "$window" || fail "the slot was not destroyed"
wait_until docked_at_least 2 || fail "no dock request after the slot was destroyed: $(dock_times | tr '\n' ' ')"
stop_tray
start_tray
wait_for_docked_size 63x22

# Between the requests: at least the first delay, and growing.
stop_tray
start_hostile_tray --hand-back
wait_until docked_at_least 4 || fail "fewer than 4 dock requests: $(dock_times | tr '\n' ' ')"
expect_eq "delays between the requests to a tray that hands the item back" \
  "$(dock_times | head -n 4 | awk 'NR > 1 {gap[NR - 1] = $1 - last} {last = $1}
    END {print (gap[1] >= 400 && gap[3] >= 2 * gap[1]) ? "growing" : "gaps " gap[1] " " gap[2] " " gap[3]}')" growing

# Slots a tray gives and then lays out again (1, then 2 pixels wide) stay the tray's: the item still asks
# for its own size, so the next tray that sizes its slots from that request gives it its whole width.
min_size_hint() {
  xprop -id "$(item_window)" WM_NORMAL_HINTS | sed -n 's/.*minimum size: \([0-9]*\) by \([0-9]*\)/\1x\2/p'
}
reports_width() { [ "$(field width "$(ctl position --timeout "$(patience)")")" = "$1" ]; }
stop_tray
start_hostile_tray --slot 1x22
wait_for_slot 1x22
xdotool windowsize "$(parent_of "$(item_window)")" 2 22 windowsize "$(item_window)" 2 22
wait_until reports_width 2 || fail "the item does not report its 2x22 slot"
expect_eq "the size the item asks for in a 2x22 slot" "$(min_size_hint)" 63x22
stop_tray
start_tray
wait_for_docked_size 63x22

# A tray's notice of a size the item's window does not have changes nothing: the item keeps its size and
# reports the slot it really has.
stop_tray
start_hostile_tray --claim-size 1x22
wait_for_slot 63x22
wait_until reports_width 63 || fail "the item reports a slot it does not have: $(ctl position --timeout "$(patience)")"
in_slot 63x22 || fail "the item took a claimed size: $(geometry_of "$(item_window)")"

# A window made anew out of a tray (this one's slot went with the last) keeps no position of the old one:
# a tray that resizes the item while the item reacts to being mapped, before it knows of the resize, keeps
# its size.
stop_tray
wait_until item_withdrawn || fail "the item's window is not back on the root window"
window=$(item_window)
start_hostile_tray --slot 70x25 --destroy-slot-after 300
wait_until window_gone "$window" || fail "the 70x25 slot was not destroyed"
stop_tray
start_hostile_tray --slot 70x25 --map-under-grab 300
wait_for_slot 70x25

stop_tray
start_hostile_tray --no-notify
wait_for_slot 63x22
wait_for_paint 8 "coloured segment|24 5|$(segment_colour)"

# An invisible tray window and a watcher: the item goes to the watcher, and its window out of the tray.
stop_tray
stop_process "$COMPANION_PID"
start_session_bus
start_watcher
start_hostile_tray --transparent
start_companion
wait_until grep -q '^registered' "$E2E_DIR/watcher.out" || fail "the item did not register with the watcher"
wait_until docked_at_least 1 || fail "the item never asked the transparent tray"
wait_until item_withdrawn || fail "the item's window stays in the invisible tray: $(geometry_of "$(item_window)")"
pass "shown by the watcher, out of the invisible tray"
