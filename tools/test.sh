#!/usr/bin/env bash
# Builds and runs every test: installs the packages, then the debug build with the unit, integration and
# end-to-end tests and the Debian package test (install, run, remove: as root or with sudo), the unit,
# integration and end-to-end tests of all the code, desktop included, under ASan+UBSan and under TSan (the
# host matrix only in the debug build, for time), and the bounded fuzz runs.
# Under TSan, Qt, glib and libdbus are not instrumented: the preset has TSan ignore their own accesses
# (ignore_noninstrumented_modules) and lets the tests' QProcess children, forked from a process with
# QtDBus's and Qt's pool threads, start threads (die_after_fork=0); the companion itself never forks.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
run_preset() {
  local preset=$1
  echo "=== $preset ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
}

run_preset debug
ctest --preset debug -j "$jobs"

run_preset asan
ctest --preset asan -j "$jobs"

run_preset tsan
ctest --preset tsan -j "$jobs"

if [ -f fuzz/run.sh ]; then
  run_preset fuzz
  bash fuzz/run.sh build/fuzz
fi
