#!/usr/bin/env bash
# velora's CPU while a song plays with word-timed lyrics shown, against the same song with the
# same lines as plain timed lyrics, side by side: the installed-style program on a private X
# server (Xvfb), the engine playing WAV files to the null output, the vertical window with the
# lyrics tab shown. The two songs alternate in rounds so a drift of the machine's speed falls on
# both; each round measures velora's (and the X server's) CPU over a window of seconds.
#
#   bench/lyrics/karaoke.sh [build folder, default build] [rounds, 5] [seconds a window, 10]
# With PERF_OUT=file, perf records velora during the word-timed windows.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
rounds="${2:-5}"
window="${3:-10}"
stage="$build/stage"
cmake --build "$build" -j1 --target velora xmms_engine wavinput nullout >/dev/null
for t in Xvfb xdotool ffmpeg python3; do
  command -v "$t" >/dev/null || { echo "needs $t (see cmake/packages.sh)"; exit 1; }
done

tmp="$(mktemp -d)"
disp=":$((90 + RANDOM % 9))"
xvfb_pid=""
velora_pid=""
export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" DISPLAY="$disp"
unset QT_QPA_PLATFORM
remote() { # remote <call> [int]: one libxmms call on session 0, prints its result
  python3 -c "import ctypes,sys; l=ctypes.CDLL(sys.argv[1]); f=getattr(l, sys.argv[2]); print(f(0, *[int(a) for a in sys.argv[3:]]))" \
    "$stage/lib/libxmms.so" "$@"
}
cleanup() {
  [ -n "$velora_pid" ] && kill "$velora_pid" 2>/dev/null || true
  remote xmms_remote_quit >/dev/null 2>&1 || true
  sleep 0.5
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
mkdir -p "$HOME/.xmms" "$HOME/music" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
Xvfb "$disp" -screen 0 480x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!

# Two copies of a five-minute song; a line every four seconds, five words in each.
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "sine=f=330:r=22050:d=300" \
  -ac 1 "$HOME/music/karaoke.wav"
cp "$HOME/music/karaoke.wav" "$HOME/music/plain.wav"
python3 - "$HOME/music" <<'PY'
import sys
d = sys.argv[1]
words = ["sing", "along", "every", "word", "tonight"]
def stamp(s):
    return "%02d:%05.2f" % (int(s // 60), s % 60)
with open(d + "/karaoke.lrc", "w") as k, open(d + "/plain.lrc", "w") as p:
    for i in range(75):
        t = i * 4.0
        k.write("[%s]" % stamp(t) + " ".join("<%s>%s" % (stamp(t + j * 0.7), w)
                                              for j, w in enumerate(words)) + "\n")
        p.write("[%s]" % stamp(t) + " ".join(words) + "\n")
PY
printf '%s\n%s\n' "$HOME/music/karaoke.wav" "$HOME/music/plain.wav" >"$HOME/.xmms/xmms.m3u"
printf '[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=TRUE\n' >"$HOME/.xmms/config"
printf '[pelskin]\nshowlrc=true\n' >"$HOME/.xmms/pelmar_cfg"

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'; }

"$stage/bin/velora" >"$tmp/velora.log" 2>&1 &
velora_pid=$!
for _ in $(seq 250); do [ "$(remote xmms_remote_get_version)" != "0" ] && break; sleep 0.02; done
sleep 3
xdotool mousemove 120 309 click 1 # the lyrics tab
sleep 1
remote xmms_remote_play >/dev/null

declare -a kv=() pv=() kx=() px=()
measure() { # measure <entry>: prints velora's and Xvfb's CPU in % of a core over one window
  remote xmms_remote_set_playlist_pos "$1" >/dev/null
  remote xmms_remote_jump_to_time 20000 >/dev/null
  sleep 2
  local v0 x0 v1 x1
  v0=$(cpu_ns "$velora_pid")
  x0=$(cpu_ns "$xvfb_pid")
  if [ -n "${PERF_OUT:-}" ] && [ "$1" = 0 ]; then # where velora's time goes, word-timed
    perf record -q -g -p "$velora_pid" -o "$PERF_OUT" -- sleep "$window" >/dev/null 2>&1
  else
    sleep "$window"
  fi
  v1=$(cpu_ns "$velora_pid")
  x1=$(cpu_ns "$xvfb_pid")
  awk -v a="$v0" -v b="$v1" -v c="$x0" -v d="$x1" -v w="$window" \
    'BEGIN { printf "%.3f %.3f\n", 100 * (b - a) / 1e9 / w, 100 * (d - c) / 1e9 / w }'
}
echo "== velora playing with the lyrics shown, ${rounds} rounds of ${window} s each (load $(cut -d' ' -f1-3 /proc/loadavg))"
for r in $(seq "$rounds"); do
  # Plain first: the window reads a song's lyrics when the playing entry changes.
  read -r pv1 px1 < <(measure 1)
  read -r kv1 kx1 < <(measure 0)
  kv+=("$kv1")
  kx+=("$kx1")
  pv+=("$pv1")
  px+=("$px1")
  echo "round $r: word-timed velora $kv1 % (Xvfb $kx1 %), plain velora $pv1 % (Xvfb $px1 %)"
done
[ "$(remote xmms_remote_is_playing)" = "1" ] || echo "warning: the engine was not playing at the end"
k=$(printf '%s\n' "${kv[@]}" | median)
p=$(printf '%s\n' "${pv[@]}" | median)
kxm=$(printf '%s\n' "${kx[@]}" | median)
pxm=$(printf '%s\n' "${px[@]}" | median)
awk -v k="$k" -v p="$p" -v kx="$kxm" -v px="$pxm" 'BEGIN {
  printf "median: word-timed %.3f %% of a core, plain %.3f %%: ratio %.2f (goal <= 1.5)\n", k, p, k / p
  printf "X server: word-timed %.3f %%, plain %.3f %%\n", kx, px }'
