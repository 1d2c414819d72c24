#!/usr/bin/env bash
# The floor under a karaoke step: the CPU of a bare Qt window (bench/lyrics/repaintcost.cpp) that
# repaints a small strip of itself every <interval> ms on a private X server, against the same
# window idle. Each figure is the median of <rounds> windows of <seconds>.
#
#   bench/lyrics/repaintcost.sh [interval ms, 100] [rounds, 5] [seconds a window, 10]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
interval="${1:-100}"
rounds="${2:-5}"
window="${3:-10}"
for t in Xvfb pkg-config c++; do
  command -v "$t" >/dev/null || { echo "needs $t (see cmake/packages.sh)"; exit 1; }
done
tmp="$(mktemp -d)"
xvfb_pid=""
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
# shellcheck disable=SC2046 # pkg-config's flags are separate words
c++ -std=c++20 -O2 -fPIC -o "$tmp/repaintcost" "$root/bench/lyrics/repaintcost.cpp" \
  $(pkg-config --cflags --libs Qt6Widgets)
export DISPLAY=":$((70 + RANDOM % 9))" XDG_RUNTIME_DIR="$tmp/run" HOME="$tmp"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
Xvfb "$DISPLAY" -screen 0 480x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
"$tmp/repaintcost" 0 >/dev/null 2>&1 &
idle=$!
pids+=("$idle")
"$tmp/repaintcost" "$interval" >/dev/null 2>&1 &
busy=$!
pids+=("$busy")
sleep 2
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d\n", s }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
bv=() iv=()
for r in $(seq "$rounds"); do
  b0=$(cpu_ns "$busy") i0=$(cpu_ns "$idle")
  sleep "$window"
  b1=$(cpu_ns "$busy") i1=$(cpu_ns "$idle")
  bv+=("$(awk -v a="$b0" -v b="$b1" -v w="$window" 'BEGIN { printf "%.3f", 100 * (b - a) / 1e9 / w }')")
  iv+=("$(awk -v a="$i0" -v b="$i1" -v w="$window" 'BEGIN { printf "%.3f", 100 * (b - a) / 1e9 / w }')")
  echo "round $r: repainting ${bv[-1]} % of a core, idle ${iv[-1]} %"
done
b=$(printf '%s\n' "${bv[@]}" | median)
i=$(printf '%s\n' "${iv[@]}" | median)
awk -v b="$b" -v i="$i" -v ms="$interval" 'BEGIN {
  printf "median: a strip every %d ms costs %.3f %% of a core (idle %.3f %%): %.3f ms a repaint\n",
    ms, b, i, (b - i) * 10 * ms / 1000 }'
