#!/usr/bin/env bash
# The Debian package end to end: cpack builds it from this build tree, lintian finds nothing to say
# about it (no error, warning or hardening tag, at pedantic level) and mandoc nothing about its manual
# pages, apt installs it on this machine,
# the installed companion docks on a virtual desktop and follows the installed pellmorctl, the installed
# programs answer --version, and apt removes the package again without leaving a file.
#
# Needs root, or sudo without a password (skipped with status 77 otherwise). The environment names CPACK,
# CPACK_CONFIG, VERSION, and where the package puts COMPANION, PELLMORCTL and DESKTOP.
# shellcheck source=tests/e2e/harness.sh
source "$(dirname "$0")/../e2e/harness.sh"
: "${CPACK:?}" "${CPACK_CONFIG:?}" "${VERSION:?}" "${DESKTOP:?}"
PACKAGE=pellmor-status

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || { echo "skipped: installing a package needs root or sudo without a password"; exit 77; }
  sudo="sudo -n"
fi
apt_get() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get -q -y -o DPkg::Lock::Timeout=120 "$@"; }
installed() { dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "install ok installed"; }

# The package's files, wherever it came from, are removed on every way out of this test.
cleanup() {
  e2e_cleanup
  if installed; then apt_get remove "$PACKAGE" >/dev/null || true; fi
}
trap cleanup EXIT

# Another run of this test on the machine installs and removes the same package: one at a time.
exec 9>"${TMPDIR:-/tmp}/pellmor-status-package-test.lock"
flock -w 120 9 || fail "another package test holds the lock"

if installed; then
  echo "note: removing the $PACKAGE $(dpkg-query -W -f='${Version}' "$PACKAGE") installed before the test"
  apt_get remove "$PACKAGE" >/dev/null
fi

# _apt reads the package file while apt installs it.
chmod 755 "$E2E_DIR"
"$CPACK" --config "$CPACK_CONFIG" -G DEB -B "$E2E_DIR/package" >"$E2E_DIR/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$E2E_DIR/cpack.log")"
deb=$(find "$E2E_DIR/package" -maxdepth 1 -name "${PACKAGE}_${VERSION}_*.deb")
[ -f "$deb" ] || fail "no ${PACKAGE}_${VERSION}_*.deb: $(ls "$E2E_DIR/package")"
pass "built $(basename "$deb")"

lintian --allow-root --info --pedantic "$deb" >"$E2E_DIR/lintian.log" 2>&1 || true
tags=$(grep -E '^[EW]: |hardening' "$E2E_DIR/lintian.log" || true)
[ -z "$tags" ] || fail "lintian: $tags"
pass "lintian: no error, warning or hardening tag"
dpkg-deb -x "$deb" "$E2E_DIR/unpacked"
for page in "$E2E_DIR"/unpacked/usr/share/man/man*/*.gz; do
  expect_eq "mandoc -T lint $(basename "$page")" "$(zcat "$page" | mandoc -T lint 2>&1)" ""
done

# Every path in the package that was not on the machine before must be gone after the removal.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^/\?$' >"$E2E_DIR/paths"
: >"$E2E_DIR/new-paths"
while read -r path; do
  [ -e "$path" ] || echo "$path" >>"$E2E_DIR/new-paths"
done <"$E2E_DIR/paths"

apt_get install --no-install-recommends "$deb" >"$E2E_DIR/apt.log" 2>&1 || fail "apt install: $(cat "$E2E_DIR/apt.log")"
installed || fail "$PACKAGE is not installed after apt install"
pass "installed"

for program in "$COMPANION" "$PELLMORCTL" "$DESKTOP"; do
  grep -qx "$program" "$E2E_DIR/paths" || fail "$program is not in the package"
done
expect_eq "PellmorStatus --version" "$("$COMPANION" --version)" "PellmorStatus $VERSION"
expect_eq "PellmorStatus-desktop --version" "$("$DESKTOP" --version)" "PellmorStatus $VERSION"
expect_eq "pellmorctl --version" "$("$PELLMORCTL" --version)" "pellmorctl $VERSION"
# The autostart entry and the user unit start the installed companion.
entry=$(grep '/pellmor-status\.desktop$' "$E2E_DIR/paths") || fail "no autostart entry in the package"
desktop-file-validate "$entry" || fail "$entry is not a valid desktop entry"
expect_eq "the entry's Exec and TryExec" "$(sed -n -E 's/^(Try)?Exec=//p' "$entry" | sort -u)" "$COMPANION"
unit=$(grep '/systemd/user/pellmor-status\.service$' "$E2E_DIR/paths") || fail "no user unit in the package"
mkdir -m 700 "$E2E_DIR/analyze"
XDG_RUNTIME_DIR="$E2E_DIR/analyze" systemd-analyze verify --user "$unit" || fail "$unit does not verify"
expect_eq "the unit's ExecStart" "$(sed -n 's/^ExecStart=//p' "$unit")" "$COMPANION"

# With a display the installed companion hands over to the installed desktop executable, which docks.
start_display
start_tray
: >"$COMPANION_OUT"
start_companion
wait_until in_a_panel || fail "the installed companion did not dock; standard output: $(companion_lines)"
expect_eq "the docked process's executable" "$(readlink "/proc/$COMPANION_PID/exe")" "$DESKTOP"
ctl set-authenticated false
wait_for_title "PlayButton|Sign In"
kill -s TERM "$COMPANION_PID"
wait "$COMPANION_PID" || fail "the desktop process exited with status $? after SIGTERM"
COMPANION_PID=""

apt_get remove "$PACKAGE" >"$E2E_DIR/apt.log" 2>&1 || fail "apt remove: $(cat "$E2E_DIR/apt.log")"
! installed || fail "$PACKAGE is still installed after apt remove"
left=$(while read -r path; do [ ! -e "$path" ] && [ ! -L "$path" ] || echo "$path"; done <"$E2E_DIR/new-paths")
[ -z "$left" ] || fail "left behind after apt remove: $left"
pass "removed, nothing left of $(wc -l <"$E2E_DIR/new-paths") new paths"
