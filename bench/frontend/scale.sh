#!/usr/bin/env bash
# velora at scale 3 against scale 1, side by side in one run: two players, each on its own
# private X server (Xvfb 720 x 1440) with its own engine, playing the same song with its lyrics
# shown (lyrics tab), one with QT_SCALE_FACTOR=1 and one with QT_SCALE_FACTOR=3.
# - CPU of each velora while playing (median of five windows, % of one core) and their ratio;
# - time to the first full frame at each scale (median of five cold starts of the window, the
#   engine already running);
# - peak resident size of each velora.
#
#   bench/frontend/scale.sh [build folder, default build] [play seconds, default 60]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
play_seconds="${2:-60}"
stage="$build/stage"
cmake --build "$build" -j2 --target velora xmms_engine nullout vorbisinput default_skin >/dev/null
for t in Xvfb xdotool ffmpeg; do
  command -v "$t" >/dev/null || { echo "needs $t (see cmake/packages.sh)"; exit 1; }
done

tmp="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for s in 1 3; do
    [ -f "$tmp/run$s/engine" ] && kill "$(cat "$tmp/run$s/engine")" 2>/dev/null || true
  done
  rm -rf "$tmp"
}
trap cleanup EXIT
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# The first-frame timer of bench/frontend (a target of builds configured with -DVELORA_BENCH=ON).
firstframe="$build/bench/firstframe"
if [ ! -x "$firstframe" ]; then
  firstframe="$tmp/firstframe"
  c++ -O2 -std=c++17 "$root/bench/frontend/firstframe.cpp" -lX11 -o "$firstframe"
fi

song="$tmp/song.ogg"
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=0.3*sin(2*PI*(220+40*sin(2*PI*0.1*t))*t):s=44100:d=600" -c:a libvorbis "$song"
python3 - "$tmp/song.lrc" <<'PY'
import sys
with open(sys.argv[1], "w") as f:
    for i in range(300):
        f.write("[%02d:%02d.00]line %d of the song, long enough to fill the lyrics panel\n" % (i * 2 // 60, i * 2 % 60, i))
PY

# One player per scale: a home, a runtime folder (so its own engine) and an X server.
declare -A disp home run
for s in 1 3; do
  home[$s]="$tmp/home$s"
  run[$s]="$tmp/run$s"
  disp[$s]=":$((60 + s * 7 + RANDOM % 5))"
  mkdir -p "${home[$s]}/.xmms" "${run[$s]}"
  chmod 700 "${run[$s]}"
  printf '[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n' >"${home[$s]}/.xmms/config"
  printf '[pelskin]\nshowlrc=true\n' >"${home[$s]}/.xmms/pelmar_cfg"
  printf '%s\n' "$song" >"${home[$s]}/.xmms/xmms.m3u"
  Xvfb "${disp[$s]}" -screen 0 720x1440x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
done
sleep 1
as() { # as <scale> <command...>: runs a command in that player's environment
  local s="$1"
  shift
  HOME="${home[$s]}" XDG_RUNTIME_DIR="${run[$s]}" DISPLAY="${disp[$s]}" QT_SCALE_FACTOR="$s" "$@"
}
remote() { # remote <scale> <call> [int]
  local s="$1"
  shift
  as "$s" python3 -c "import ctypes,sys; l=ctypes.CDLL(sys.argv[1]); f=getattr(l, sys.argv[2]); print(f(0, *[int(a) for a in sys.argv[3:]]))" \
    "$stage/lib/libxmms.so" "$@"
}
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'; }
peak_mib() { awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

# Engines first, so the first-frame runs time the window alone.
for s in 1 3; do
  (exec env HOME="${home[$s]}" XDG_RUNTIME_DIR="${run[$s]}" "$stage/bin/xmms" >/dev/null 2>&1) &
  echo $! >"${run[$s]}/engine"
  for _ in $(seq 200); do [ "$(remote "$s" xmms_remote_get_version)" != "0" ] && break; sleep 0.02; done
done

echo "== first full frame, engine running (median of 5; load $(cut -d' ' -f1-3 /proc/loadavg))"
declare -A first
for s in 1 3; do
  runs=()
  for _ in 1 2 3 4 5; do
    runs+=("$({ as "$s" "$firstframe" --hold 0.3 -- "$stage/bin/velora" 2>>"$tmp/firstframe.log" ||
      true; } | awk '/^first-frame/ { print $2 }')")
  done
  first[$s]=$(printf '%s\n' "${runs[@]}" | median)
  echo "scale $s: ${first[$s]} ms   runs: ${runs[*]}"
done
awk -v a="${first[1]}" -v b="${first[3]}" 'BEGIN { printf "scale 3 / scale 1: %.2f (goal at most 2)\n", b / a }'

echo
echo "== playing with the lyrics shown, side by side (${play_seconds} s; load $(cut -d' ' -f1-3 /proc/loadavg))"
declare -A vp
for s in 1 3; do
  # exec: the pid is velora's own, not a subshell's.
  (exec env HOME="${home[$s]}" XDG_RUNTIME_DIR="${run[$s]}" DISPLAY="${disp[$s]}" QT_SCALE_FACTOR="$s" \
    "$stage/bin/velora" >"$tmp/velora$s.log" 2>&1) &
  vp[$s]=$!
  pids+=($!)
done
sleep 4
for s in 1 3; do
  # The lyrics tab sits at (120, 309) of the 240 x 320 picture.
  as "$s" xdotool mousemove $((120 * s)) $((309 * s)) click 1
  remote "$s" xmms_remote_play >/dev/null
done
sleep 3
window=$((play_seconds / 5))
r1=()
r3=()
for _ in 1 2 3 4 5; do
  a1=$(cpu_ns "${vp[1]}")
  a3=$(cpu_ns "${vp[3]}")
  sleep "$window"
  r1+=("$(($(cpu_ns "${vp[1]}") - a1))")
  r3+=("$(($(cpu_ns "${vp[3]}") - a3))")
done
c1=$(printf '%s\n' "${r1[@]}" | median)
c3=$(printf '%s\n' "${r3[@]}" | median)
awk -v a="$c1" -v b="$c3" -v w="$window" 'BEGIN {
  printf "velora at scale 1: %.3f %% of a core\nvelora at scale 3: %.3f %% of a core\nscale 3 / scale 1: %.2f (goal at most 1.5)\n",
    100 * a / 1e9 / w, 100 * b / 1e9 / w, b / a }'
for s in 1 3; do
  [ "$(remote "$s" xmms_remote_is_playing)" = "1" ] || echo "warning: the engine at scale $s was not playing"
done
echo
echo "== peak resident size while playing"
echo "scale 1: $(peak_mib "${vp[1]}") MiB; scale 3: $(peak_mib "${vp[3]}") MiB (goal under 60)"
