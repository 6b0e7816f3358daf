#!/usr/bin/env bash
# Builds the release benchmarks and prints every figure of bench/README.md.
#   bench/run.sh               all figures (the desktop ones on private Xvfb, trayer and session buses)
#   bench/run.sh channel       only the channel's throughput and latency (a minute)
#   bench/run.sh footprint     only the start-up, memory and idle figures of footprint (two minutes)
#   bench/run.sh wakeups       only bench/wakeups.sh (four minutes)
#   bench/run.sh --build-only  only the build that bench/wakeups.sh and bench/soak.sh use
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh >/dev/null
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLMOR_BUILD_TESTS=ON -DPELLMOR_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target channel-throughput channel-latency footprint PellmorStatus \
  sni-test-watcher once-a-second >/dev/null
section=${1:-all}
[ "$section" != --build-only ] || exit 0
case $section in all | channel | footprint | wakeups) ;; *) echo "$0: no section '$section'" >&2 && exit 2 ;; esac
wanted() { [ "$section" = all ] || [ "$section" = "$1" ]; }

echo "== machine"
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(uname -r), load $(cut -d' ' -f1-3 /proc/loadavg)"

# summary JSON BENCHMARK COUNTER...: each counter's minimum / median / maximum over the repetitions.
summary() {
  python3 - "$@" <<'PY'
import json, sys
path, name, *counters = sys.argv[1:]
rows = {r["aggregate_name"]: r for r in json.load(open(path))["benchmarks"]
        if r.get("run_type") == "aggregate" and r["run_name"].startswith(name)}
for counter in counters:
    figures = " / ".join(f"{rows[a][counter]:.4g}" for a in ("min", "median", "max"))
    print(f"  {counter:22} {figures}   (min / median / max of {rows['median']['repetitions']} repetitions)")
PY
}

if wanted channel; then
  echo "== throughput (one core, thread CPU time)"
  taskset -c 0 "$build/bench/channel-throughput" --benchmark_out=$build/throughput.json --benchmark_out_format=json >/dev/null
  echo "framing, against a bare newline scan of the same reads:"
  summary $build/throughput.json BM_FramingAgainstNewlineScan ratio lines_per_s baseline_lines_per_s
  echo "framing + UTF-8 check + decoding + applying, against nlohmann::json parsing the same lines alone:"
  summary $build/throughput.json BM_DecodingApplyingAgainstJsonParse ratio lines_per_s baseline_lines_per_s

  echo "== latency, write to applied on the main thread, against the same three hand-offs alone"
  "$build/bench/channel-latency" --benchmark_out=$build/latency.json --benchmark_out_format=json >/dev/null
  summary $build/latency.json BM_WriteToAppliedAgainstBareHandOffs p50_ratio p99_ratio p50_us p99_us bare_p50_us bare_p99_us
fi

if wanted footprint; then
  echo "== footprint, headless"
  env -u DISPLAY "$build/bench/footprint"

  echo "== footprint, desktop (Xvfb + trayer)"
  bash bench/footprint-desktop.sh "$build/bench/footprint"
fi

! wanted wakeups || bash bench/wakeups.sh
