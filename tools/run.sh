#!/usr/bin/env bash
# Builds the companion and runs it on this desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
exec build/release/PellmorStatus/PellmorStatus
