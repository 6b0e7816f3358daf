#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from its seed corpus; fails on the first finding.
#   fuzz/run.sh BUILD_DIR [SECONDS_PER_TARGET]
set -euo pipefail
build=${1:?build directory}
seconds=${2:-${PELLMOR_FUZZ_SECONDS:-60}}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Lines up to the companion's line bound (1 MiB); the elapsed-time target reads a few numbers only.
max_len() { if [ "$1" = elapsed ]; then echo 4096; else echo 1048576; fi; }

# Deeply nested lines, generated rather than stored: containers at the nesting bound and far beyond it,
# with and without an action (a message without one is rendered in full on standard output).
add_nested_seeds() {
  python3 - "$1" <<'PY'
import sys
out = sys.argv[1]
seeds = {
    "nested-arrays-at-bound": '{"action":"setTimeFormat","value":"decimal","x":' + "[" * 127 + "]" * 127 + "}",
    "nested-arrays-deep": '{"x":' + "[" * 85000 + "]" * 85000 + "}",
    "nested-objects-deep": '{"a":' * 85000 + "1" + "}" * 85000,
    "nested-unclosed": '{"action":"clearTimer","x":' + "[{" * 40000,
}
for name, text in seeds.items():
    with open(f"{out}/{name}", "w") as seed:
        seed.write(text)
PY
}

status=0
for target in framing protocol elapsed; do
  corpus="$work/$target"
  mkdir -p "$corpus"
  cp "$here/corpus/$target"/* "$corpus"/
  [ "$target" = elapsed ] || add_nested_seeds "$corpus"
  echo "--- fuzzing $target for ${seconds}s"
  # Diagnostics the program prints on standard output are not findings; libFuzzer reports on stderr.
  if ! "$build/fuzz/$target-fuzzer" -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$work/$target-" "$corpus" "$here/corpus/$target" >/dev/null 2>"$work/$target.log"; then
    echo "FINDING in $target:"; tail -n 40 "$work/$target.log"
    mkdir -p "$build/fuzz-findings"
    cp "$work/$target"-* "$build/fuzz-findings/" 2>/dev/null || true  # a fuzzer that failed to start leaves none
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
