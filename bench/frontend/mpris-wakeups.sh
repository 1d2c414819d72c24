#!/usr/bin/env bash
# Wake-ups of velora and of its engine while a song plays, with a desktop session bus present
# (so the MPRIS service runs, as on every desktop) and nobody asking it anything: what the
# player costs in the background. Context switches a second, all threads of each process, over
# a window of the play time; the median of three windows.
#
#   bench/frontend/mpris-wakeups.sh [build folder, default build] [window seconds, default 20]
#
# Needs dbus-run-session (dbus-daemon) and python3. The engine plays a ten-minute tone into the
# null output; velora runs offscreen.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
window="${2:-20}"
stage="$build/stage"
[ -x "$stage/bin/velora" ] && [ -x "$stage/bin/xmms" ] || {
  echo "build velora and the engine first (cmake --build $build --target velora xmms nullout wavinput)"
  exit 1
}
if [ -z "${VELORA_BENCH_INSIDE_BUS:-}" ]; then
  exec env VELORA_BENCH_INSIDE_BUS=1 dbus-run-session -- "$0" "$build" "$window"
fi

tmp="$(mktemp -d)"
velora_pid=""
cleanup() {
  [ -n "$velora_pid" ] && kill "$velora_pid" 2>/dev/null && wait "$velora_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME/.xmms" "$HOME/music" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
python3 - "$HOME/music/tone.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    one = b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * i / 8000)))
                   for i in range(8000))
    w.writeframes(one * 600)
PY
printf '[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n' >"$HOME/.xmms/config"
printf '%s\n' "$HOME/music/tone.wav" >"$HOME/.xmms/xmms.m3u"

remote() { # remote <call>: one libxmms call on session 0
  python3 -c "import ctypes,sys; l=ctypes.CDLL(sys.argv[1]); print(getattr(l, sys.argv[2])(0))" \
    "$stage/lib/libxmms.so" "$1"
}
switches() { # switches <pid>: voluntary + involuntary context switches of all its threads
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^(voluntary|nonvoluntary)_ctxt_switches/ {n += $2} END {print n + 0}'
}

"$stage/bin/velora" >"$tmp/velora.log" 2>&1 &
velora_pid=$!
for _ in $(seq 200); do
  [ "$(remote xmms_remote_get_version)" != 0 ] && break
  sleep 0.05
done
engine_pid="$(cat "$XDG_RUNTIME_DIR"/xmms_*.pid)"
remote xmms_remote_play >/dev/null
sleep 3 # start-up settles
echo "== playing, session bus present (load $(cut -d' ' -f1-3 /proc/loadavg))"
v_runs=() e_runs=()
for _ in 1 2 3; do
  v0=$(switches "$velora_pid") e0=$(switches "$engine_pid")
  sleep "$window"
  v1=$(switches "$velora_pid") e1=$(switches "$engine_pid")
  v_runs+=("$(awk -v a="$v0" -v b="$v1" -v s="$window" 'BEGIN {printf "%.1f", (b - a) / s}')")
  e_runs+=("$(awk -v a="$e0" -v b="$e1" -v s="$window" 'BEGIN {printf "%.1f", (b - a) / s}')")
done
median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
echo "velora  context switches $(median "${v_runs[@]}") /s   windows of ${window} s: ${v_runs[*]}"
echo "engine  context switches $(median "${e_runs[@]}") /s   windows of ${window} s: ${e_runs[*]}"
[ "$(remote xmms_remote_is_playing)" = 1 ] || echo "(the song was not playing at the end!)"
