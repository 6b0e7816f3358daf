#!/usr/bin/env bash
# Builds and runs every test: installs the packages, then the debug build with the unit, integration and
# end-to-end tests and the Debian package test (install, run, remove: as root or with sudo), the channel
# tests under ASan+UBSan and under TSan, and the bounded fuzz runs.
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
