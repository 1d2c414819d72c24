#!/usr/bin/env bash
# CPU used by the player while it sits still and while a song plays: the front-end alone while
# stopped, then the front-end plus the engine while a WAV plays in real time to the null output,
# vertical mode with the playlist panel shown (the window as it first starts). Both programs
# run from the build's stage folder in a temporary home; the window is off screen.
#
#   bench/input/run.sh [build folder, default build-input] [play seconds, default 60]
#                      [stopped seconds, default 30]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build-input}" && pwd)"
play_seconds="${2:-60}"
stopped_seconds="${3:-30}"
stage="$build/stage"
cmake --build "$build" -j1 --target velora xmms_engine wavinput nullout >/dev/null

tmp="$(mktemp -d)"
velora_pid=""
engine_pid=""
cleanup() {
  [ -n "$velora_pid" ] && kill "$velora_pid" 2>/dev/null || true
  sleep 1
  [ -n "$engine_pid" ] && kill "$engine_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME/.xmms" "$HOME/music" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# A stereo 44.1 kHz tone long enough for the whole measurement, twice in the playlist.
python3 - "$HOME/music/tone.wav" "$((play_seconds + 15))" <<'PY'
import math, struct, sys, wave
path, seconds = sys.argv[1], int(sys.argv[2])
period = bytes().join(struct.pack('<hh', int(8000 * math.sin(2 * math.pi * i / 100)),
                                  int(8000 * math.sin(2 * math.pi * i / 100))) for i in range(100))
with wave.open(path, 'wb') as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
    w.writeframes(period * (44100 * seconds // 100))
PY
printf '%s\n%s\n' "$HOME/music/tone.wav" "$HOME/music/tone.wav" >"$HOME/.xmms/xmms.m3u"
printf '[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n' >"$HOME/.xmms/config"

"$stage/bin/velora" >"$tmp/velora.log" 2>&1 &
velora_pid=$!

remote() { # remote <call>: runs one libxmms remote call on session 0 and prints its result
  python3 -c "import ctypes,sys; l=ctypes.CDLL(sys.argv[1]); print(getattr(l, sys.argv[2])(0))" \
    "$stage/lib/libxmms.so" "$1"
}
for _ in $(seq 100); do
  [ "$(remote xmms_remote_get_version)" != "0" ] && break
  sleep 0.2
done
engine_pid="$(cat "$XDG_RUNTIME_DIR/xmms_$(id -un).0.pid")"
sleep 3 # start-up done, skin drawn

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz="$(getconf CLK_TCK)"
percent() { # percent <ticks> <seconds>
  awk -v t="$1" -v s="$2" -v hz="$hz" 'BEGIN { printf "%.3f", 100 * t / hz / s }'
}

v0="$(ticks "$velora_pid")"
sleep "$stopped_seconds"
v1="$(ticks "$velora_pid")"
echo "stopped, velora alone over ${stopped_seconds} s: $(percent $((v1 - v0)) "$stopped_seconds") % of one core"

remote xmms_remote_play >/dev/null
sleep 2
v0="$(ticks "$velora_pid")"
e0="$(ticks "$engine_pid")"
sleep "$play_seconds"
v1="$(ticks "$velora_pid")"
e1="$(ticks "$engine_pid")"
[ "$(remote xmms_remote_is_playing)" = "1" ] || echo "warning: the engine was not playing at the end"
echo "playing, over ${play_seconds} s: velora $(percent $((v1 - v0)) "$play_seconds") %," \
  "engine $(percent $((e1 - e0)) "$play_seconds") %," \
  "together $(percent $((v1 - v0 + e1 - e0)) "$play_seconds") % of one core"
