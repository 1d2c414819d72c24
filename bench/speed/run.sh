#!/usr/bin/env bash
# The output stage's effects, measured: the engine playing a 10-minute AAC file slowed to 0.75
# (SoundTouch) beside mpv doing the same with its own time stretcher, both in real time on
# null outputs, side by side in one run; the same at 1.0 (the stage passes the samples through);
# and ReplayGain's cost: the engine playing a FLAC file as fast as it can (untimed null output)
# untagged, tagged at -6 dB with ReplayGain on, and tagged with ReplayGain off.
# Figures are CPU seconds (user + system) of the engine process and of mpv.
#
#   bench/speed/run.sh [build folder, default build-bench] [seconds of real time, default 60]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build-bench}" && pwd)"
seconds="${2:-60}"
work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

cmake --build "$build" -j1 --target xmms_engine m4ainput flacinput nullout >/dev/null
stage="$build/stage"

echo "== making a 10-minute 128 kb/s stereo AAC file and a 10-minute FLAC file"
source="aevalsrc=0.3*sin(2*PI*(220+40*sin(2*PI*0.1*t))*t)|0.3*sin(2*PI*(330+60*sin(2*PI*0.07*t))*t)+0.05*random(0):s=44100:d=600"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$source" -c:a aac -b:a 128k "$work/long.m4a"
ffmpeg -hide_banner -loglevel error -y -i "$work/long.m4a" "$work/plain.flac"
ffmpeg -hide_banner -loglevel error -y -i "$work/plain.flac" -c copy \
  -metadata "REPLAYGAIN_TRACK_GAIN=-6.00 dB" -metadata "REPLAYGAIN_TRACK_PEAK=0.35" "$work/tagged.flac"

# CPU seconds (user + system) a process has used so far.
cpu() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f\n", ($14 + $15) / hz }' "/proc/$1/stat"; }

remote() { # function [float argument]
  python3 - "$stage/lib/libxmms.so" "$@" <<'PY'
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
f = getattr(lib, sys.argv[2])
if len(sys.argv) > 3:
    f(0, ctypes.c_float(float(sys.argv[3])))
else:
    f.restype = ctypes.c_int
    print(f(0))
PY
}

# Starts an engine in its own home on the given playlist and settings; sets $engine_pid.
start_engine() { # name, playlist file, [xmms] keys, [null_output] keys
  local home="$work/$1"
  mkdir -p "$home/.xmms" "$home/run"
  chmod 700 "$home/run"
  printf '[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n%s[null_output]\n%s' \
    "$3" "$4" >"$home/.xmms/config"
  echo "$2" >"$home/.xmms/xmms.m3u"
  export HOME="$home" XDG_RUNTIME_DIR="$home/run"
  "$stage/bin/xmms" >/dev/null 2>&1 &
  engine_pid=$!
  pids+=("$engine_pid")
  for _ in $(seq 100); do
    [ "$(remote xmms_remote_get_version)" != 0 ] && return 0
    sleep 0.1
  done
  echo "the engine did not start" >&2
  exit 1
}

stop_engine() {
  remote xmms_remote_quit >/dev/null || true
  wait "$engine_pid" 2>/dev/null || true
}

# Real time, side by side: the engine and mpv play the same file at the same speed for the
# same wall time; each one's CPU over that time.
side_by_side() { # speed
  start_engine "rt$1" "$work/long.m4a" "playback_speed=$1
" ""
  remote xmms_remote_play >/dev/null
  mpv --no-config --really-quiet --no-video --ao=null --speed="$1" "$work/long.m4a" &
  local mpv_pid=$!
  pids+=("$mpv_pid")
  sleep 3 # both past their start
  local e0 m0 e1 m1
  e0=$(cpu "$engine_pid")
  m0=$(cpu "$mpv_pid")
  sleep "$seconds"
  e1=$(cpu "$engine_pid")
  m1=$(cpu "$mpv_pid")
  local heard
  heard=$(remote xmms_remote_get_output_time)
  kill "$mpv_pid" 2>/dev/null || true
  wait "$mpv_pid" 2>/dev/null || true
  stop_engine
  awk -v s="$1" -v e="$(awk -v a="$e0" -v b="$e1" 'BEGIN { print b - a }')" \
    -v m="$(awk -v a="$m0" -v b="$m1" 'BEGIN { print b - a }')" -v t="$seconds" -v h="$heard" \
    'BEGIN { printf "speed %.2f, %d s: engine %.2f s CPU, mpv %.2f s CPU: engine = %.2f x mpv (song time heard %.1f s)\n", s, t, e, m, e / m, h / 1000 }'
}

echo "== real time, engine beside mpv (load $(cut -d' ' -f1-3 /proc/loadavg))"
side_by_side 0.75
side_by_side 1.0

# Untimed: CPU for the whole file, median of five, the three cases interleaved.
whole() { # name, file, [xmms] keys
  start_engine "$1" "$2" "$3" "untimed=TRUE
"
  remote xmms_remote_play >/dev/null
  while [ "$(remote xmms_remote_is_playing)" = 1 ]; do sleep 0.2; done
  cpu "$engine_pid"
  stop_engine
}
echo "== ReplayGain, the whole 10-minute FLAC untimed, median of 5 (load $(cut -d' ' -f1-3 /proc/loadavg))"
declare -A runs
for _ in 1 2 3 4 5; do
  runs[plain]+="$(whole plain "$work/plain.flac" "replaygain_mode=track
") "
  runs[tagged]+="$(whole tagged "$work/tagged.flac" "replaygain_mode=track
") "
  runs[off]+="$(whole off "$work/tagged.flac" "replaygain_mode=off
") "
done
med() { printf '%s\n' $1 | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
plain=$(med "${runs[plain]}")
for k in plain tagged off; do
  m=$(med "${runs[$k]}")
  awk -v k="$k" -v m="$m" -v p="$plain" -v all="${runs[$k]}" 'BEGIN {
    label["plain"] = "untagged"; label["tagged"] = "tagged -6 dB, ReplayGain on"
    label["off"] = "tagged, ReplayGain off"
    printf "%-30s %6.2f s CPU (%+.1f %% over untagged)   runs: %s\n", label[k], m, 100 * (m / p - 1), all }'
done
