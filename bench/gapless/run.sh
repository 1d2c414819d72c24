#!/usr/bin/env bash
# What gapless joins cost: the engine decoding the same ten minutes of FLAC as fast as it can
# (untimed null output), once as one file and once cut into twenty 30-second tracks that join
# on the open output; with a second build folder (an engine from before the output stage, say),
# the same one-file run on that engine beside it. Figures are CPU seconds (user + system) of the
# engine process, best of three.
#
#   bench/gapless/run.sh [build folder, default build] [build folder of another engine]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
other="${2:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== making ten minutes of FLAC, whole and in twenty tracks"
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=0.3*sin(2*PI*(220+40*sin(2*PI*0.1*t))*t)|0.3*sin(2*PI*330*t):s=44100:d=600" \
  "$work/whole.flac"
: >"$work/tracks.m3u"
for n in $(seq 0 19); do
  ffmpeg -hide_banner -loglevel error -y -i "$work/whole.flac" \
    -af "atrim=start_sample=$((n * 1323000)):end_sample=$(((n + 1) * 1323000)),asetpts=N/SR/TB" \
    "$work/part$n.flac"
  echo "$work/part$n.flac" >>"$work/tracks.m3u"
done

cpu() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f\n", ($14 + $15) / hz }' "/proc/$1/stat"; }

# Plays a playlist to its end on an untimed null output; prints the engine's CPU seconds.
play() { # stage folder, playlist text
  local home="$work/home"
  rm -rf "$home"
  mkdir -p "$home/.xmms" "$home/run"
  chmod 700 "$home/run"
  printf '[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n[null_output]\nuntimed=TRUE\n' \
    >"$home/.xmms/config"
  printf '%s\n' "$2" >"$home/.xmms/xmms.m3u"
  HOME="$home" XDG_RUNTIME_DIR="$home/run" "$1/bin/xmms" >/dev/null 2>&1 &
  local pid=$!
  python3 - "$1/lib/libxmms.so" "$home" <<'PY'
import ctypes, os, sys, time
os.environ["HOME"] = sys.argv[2]
os.environ["XDG_RUNTIME_DIR"] = sys.argv[2] + "/run"
lib = ctypes.CDLL(sys.argv[1])
for _ in range(200):
    if lib.xmms_remote_get_version(0):
        break
    time.sleep(0.05)
lib.xmms_remote_play(0)
time.sleep(0.5)
while lib.xmms_remote_is_playing(0):
    time.sleep(0.05)
PY
  cpu "$pid"
  HOME="$home" XDG_RUNTIME_DIR="$home/run" python3 -c "import ctypes; ctypes.CDLL('$1/lib/libxmms.so').xmms_remote_quit(0)"
  wait "$pid" || true
}

best() { # stage folder, playlist text
  local a b c
  a=$(play "$@"); b=$(play "$@"); c=$(play "$@")
  printf '%s\n%s\n%s\n' "$a" "$b" "$c" | sort -n | head -1
}

echo "== CPU seconds of the engine, best of three"
echo "one file, this engine:          $(best "$build/stage" "$work/whole.flac")"
echo "twenty joined tracks, this one: $(best "$build/stage" "$(cat "$work/tracks.m3u")")"
if [ -n "$other" ]; then
  echo "one file, $other: $(best "$(cd "$other" && pwd)/stage" "$work/whole.flac")"
fi
