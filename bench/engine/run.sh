#!/usr/bin/env bash
# Engine benchmarks: median round trip of remote calls, then the engine's CPU while it plays a
# WAV file to the null output in real time.
#
#   bench/engine/run.sh [build folder configured with -DVELORA_BENCH=ON] [seconds, default 60]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build-engine-bench}" && pwd)"
seconds="${2:-60}"
cmake --build "$build" -j1 --target engine_bench >/dev/null
"$build/bench/engine_bench" --benchmark_min_time=0.5
"$build/bench/engine_bench" --cpu-seconds="$seconds"
