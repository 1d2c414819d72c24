#!/usr/bin/env bash
# Decode speed of the MP4/AAC plug-in on a 10-minute 128 kb/s stereo AAC file (made here with
# ffmpeg, not kept): the plug-in to a null output, a bare FAAD2 loop, and the faad command.
# Usage: bench/m4ainput/run.sh [build folder]   (default: build-bench beside this tree)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build-bench}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELORA_BENCH=ON >/dev/null
cmake --build "$build" -j1 --target m4ainput_bench >/dev/null

echo "== making a 10-minute 128 kb/s stereo AAC file"
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=0.3*sin(2*PI*(220+40*sin(2*PI*0.1*t))*t)|0.3*sin(2*PI*(330+60*sin(2*PI*0.07*t))*t)+0.05*random(0):s=44100:d=600" \
  -c:a aac -b:a 128k "$work/long.m4a"
ffmpeg -hide_banner -loglevel error -y -i "$work/long.m4a" -c:a copy -f adts "$work/long.aac"
ls -l "$work/long.m4a" "$work/long.aac"

echo "== plug-in and bare FAAD2 loop"
M4A_BENCH_MP4="$work/long.m4a" M4A_BENCH_AAC="$work/long.aac" \
  "$build/bench/m4ainput/m4ainput_bench" 2>/dev/null | grep -v '^total-tracks\|^testing-track\|^MP4 - '

# Best of three runs of a command: CPU seconds (user + system, comparable with the figures
# above) and wall seconds.
cost() {
  local best_cpu="" best_wall="" t
  for _ in 1 2 3; do
    t=$( { TIMEFORMAT='%U %S %R'; time "$@" >/dev/null 2>&1; } 2>&1 )
    read -r user sys wall <<<"$t"
    best_cpu=$(awk -v a="$user" -v b="$sys" -v c="$best_cpu" 'BEGIN { t = a + b; if (c == "" || t < c) print t; else print c }')
    best_wall=$(awk -v a="$wall" -v c="$best_wall" 'BEGIN { if (c == "" || a < c) print a; else print c }')
  done
  echo "cpu ${best_cpu}s  wall ${best_wall}s"
}
echo "== reference commands (best of three)"
if command -v faad >/dev/null; then
  echo "faad -w (MP4):  $(cost faad -w "$work/long.m4a")"
  echo "faad -w (ADTS): $(cost faad -w "$work/long.aac")"
else
  echo "faad: not installed (Debian package faad)"
fi
echo "ffmpeg (MP4):   $(cost ffmpeg -v error -i "$work/long.m4a" -f s16le -)"
