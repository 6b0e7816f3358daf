#!/usr/bin/env bash
# Takes the README's picture of the item in waybar's tray (docs/images/waybar-running.png): a headless
# sway (wlroots' headless backend, pixman renderer) with waybar as the StatusNotifierItem host, the
# companion on the same session bus with a running timer, the bar taken with grim. sway refuses to run as
# root, so as root everything runs as the unprivileged account `nobody` (setpriv). Needs the debug build
# and `bash tools/setup.sh` (sway, waybar, grim).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/debug
for program in "$build/PellmorStatus/PellmorStatus" "$build/tools/pellmorctl"; do
  [ -x "$program" ] || { echo "waybar-picture.sh: build first (cmake --build --preset debug)" >&2; exit 1; }
done
for program in sway waybar grim dbus-run-session; do
  command -v "$program" >/dev/null || { echo "waybar-picture.sh: run bash tools/setup.sh" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pellmor-waybar-XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -m 700 "$work/runtime"
cat >"$work/sway.conf" <<'CONF'
output HEADLESS-1 resolution 400x80
CONF
cat >"$work/waybar.json" <<'CONF'
{ "position": "top", "height": 30, "modules-left": [], "modules-right": ["tray"],
  "tray": { "icon-size": 22, "spacing": 8 } }
CONF

# Runs inside the session bus as the unprivileged account; stops what it started, by process id.
cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
work=$1 build=$2
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done' EXIT
wait_for() { local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do [ "$SECONDS" -lt "$deadline" ] || return 1; sleep 0.1; done; }
watcher_has_item() {
  gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems |
    grep -q StatusNotifierItem-
}
label_is() {
  gdbus call --session --dest "org.kde.StatusNotifierItem-$companion-1" --object-path /StatusNotifierItem \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem XAyatanaLabel | grep -qF "'$1'"
}
sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
pids+=($!)
wait_for 20 test -S "$XDG_RUNTIME_DIR/wayland-1"
export WAYLAND_DISPLAY=wayland-1
waybar -c "$work/waybar.json" >"$work/waybar.log" 2>&1 &
pids+=($!)
"$build/PellmorStatus/PellmorStatus" >"$work/companion.out" 2>&1 &
companion=$!
pids+=("$companion")
wait_for 30 watcher_has_item
"$build/tools/pellmorctl" show-timer --started-ago 3930 --hours 0
wait_for 30 label_is 1:06
sleep 1  # waybar reads the new pixmap and draws it
grim -g "0,0 400x30" "$work/bar.png"
SESSION

chown -R nobody:nogroup "$work"
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
"${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$work" XDG_RUNTIME_DIR="$work/runtime" WLR_BACKENDS=headless \
  WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 dbus-run-session -- bash "$work/session.sh" "$work" "$build" \
  2>"$work/session.log" || { cat "$work/session.log" >&2; exit 1; }

mkdir -p "$root/docs/images"
# The right end of the bar, where the tray sits, enlarged twice without smoothing.
convert "$work/bar.png" -gravity east -crop 160x30+0+0 +repage -filter point -resize 200% -strip \
  "$root/docs/images/waybar-running.png"
echo "$root/docs/images/waybar-running.png"
