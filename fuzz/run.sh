#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from its seed corpus; fails on the first finding.
#   fuzz/run.sh BUILD_DIR [SECONDS_PER_TARGET]
set -euo pipefail
build=${1:?build directory}
seconds=${2:-${PELLMOR_FUZZ_SECONDS:-60}}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for target in framing protocol elapsed; do
  corpus="$work/$target"
  mkdir -p "$corpus"
  cp "$here/corpus/$target"/* "$corpus"/
  echo "--- fuzzing $target for ${seconds}s"
  # Diagnostics the program prints on standard output are not findings; libFuzzer reports on stderr.
  if ! "$build/fuzz/$target-fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$work/$target-" "$corpus" "$here/corpus/$target" >/dev/null 2>"$work/$target.log"; then
    echo "FINDING in $target:"; tail -n 40 "$work/$target.log"
    mkdir -p "$build/fuzz-findings" && cp "$work/$target"-* "$build/fuzz-findings/" 2>/dev/null || true
    status=1
  else
    grep -E "^(Done|#[0-9]+.*DONE)" "$work/$target.log" | tail -n 1 || true
  fi
done
if [ "$status" -eq 0 ]; then
  echo "fuzz: 3 passed, 0 failed"
else
  echo "fuzz: findings above"
fi
exit "$status"
