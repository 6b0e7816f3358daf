#!/usr/bin/env bash
# Builds the release benchmarks and prints every figure of bench/README.md.
#   bench/run.sh            headless figures, and the desktop ones on an embedded Xvfb with trayer
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLMOR_BUILD_TESTS=OFF -DPELLMOR_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target channel-throughput channel-latency footprint PellmorStatus

echo "== machine"
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(uname -r)"

ratio() {  # ratio NAME_A NAME_B FIELD JSON: prints A/B
  python3 - "$@" <<'PY'
import json, sys
a, b, field, path = sys.argv[1:5]
runs = {r["name"]: r for r in json.load(open(path))["benchmarks"]}
print(f"{runs[a][field] / runs[b][field]:.2f}")
PY
}

echo "== throughput (one core)"
taskset -c 0 "$build/bench/channel-throughput" --benchmark_min_time=1 --benchmark_out=/tmp/pellmor-throughput.json \
  --benchmark_out_format=json
echo "framing / cat baseline: $(ratio BM_Framing BM_CatIntoPipe items_per_second /tmp/pellmor-throughput.json)"
echo "framing+decoding+applying / cat baseline: $(ratio BM_FramingDecodingApplying BM_CatIntoPipe items_per_second /tmp/pellmor-throughput.json)"

echo "== latency"
"$build/bench/channel-latency" --benchmark_out=/tmp/pellmor-latency.json --benchmark_out_format=json
echo "p50 write-to-applied / p50 raw pipe round trip: $(ratio BM_WriteToAppliedOnMainThread/iterations:20000/real_time BM_RawPipeRoundTrip/iterations:20000/real_time p50_us /tmp/pellmor-latency.json)"

echo "== footprint, headless"
env -u DISPLAY "$build/bench/footprint"

echo "== footprint, desktop (Xvfb + trayer)"
display=:97
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=$display trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
  --transparent false --tint 0x333333 >/dev/null 2>&1 &
tray=$!
sleep 1
DISPLAY=$display "$build/bench/footprint" --desktop --runs 5 || true
kill "$tray" "$xvfb" 2>/dev/null || true
