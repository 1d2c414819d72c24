#!/usr/bin/env bash
# The player as a user runs it, on a private X server (Xvfb) with a ten-minute 128 kb/s AAC song
# and its lyrics, the engine playing to the null output:
# - start-up: time to the first full frame from a cold start (the engine started by velora) and
#   with the engine already running; the same with a 10 000-entry playlist;
# - the CPU of velora, of the engine and of the X server while playing, in each window mode with
#   the lyrics shown, beside mpv (--no-video --ao=null) playing the same file;
# - wake-ups (context switches and system calls a second) of both processes, stopped and playing;
# - the CPU velora spends on loading and drawing a 10 000-line lyrics file;
# - peak resident sizes.
# CPU is measured, not wall time: five windows of a fifth of the play time each, median shown.
#
#   bench/frontend/run.sh [build folder configured with -DVELORA_BENCH=ON] [play seconds, 60]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build-bench}" && pwd)"
play_seconds="${2:-60}"
stage="$build/stage"
cmake --build "$build" -j1 --target velora xmms_engine m4ainput nullout firstframe \
  m4ainput_bench >/dev/null
for t in Xvfb xdotool mpv strace ffmpeg; do
  command -v "$t" >/dev/null || { echo "needs $t (see cmake/packages.sh)"; exit 1; }
done

tmp="$(mktemp -d)"
disp=":$((70 + RANDOM % 20))"
xvfb_pid=""
velora_pid=""
cleanup() {
  [ "$BASHPID" = "$main_shell" ] || return 0
  [ -n "$velora_pid" ] && kill "$velora_pid" 2>/dev/null || true
  quit_engine || true
  [ -n "${KEEP_LOG:-}" ] && cp "$tmp"/*.log /tmp/ 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
main_shell=$BASHPID

export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" DISPLAY="$disp"
unset QT_QPA_PLATFORM
mkdir -p "$HOME/.xmms" "$HOME/music" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
Xvfb "$disp" -screen 0 480x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!

song="$HOME/music/long.m4a"
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=0.3*sin(2*PI*(220+40*sin(2*PI*0.1*t))*t)|0.3*sin(2*PI*(330+60*sin(2*PI*0.07*t))*t)+0.05*random(0):s=44100:d=600" \
  -c:a aac -b:a 128k "$song"
cp "$song" "$HOME/music/other.m4a"
# Lyrics of a line every four seconds for the whole song; 10 000 lines beside the other copy.
python3 - "$HOME/music" <<'PY'
import sys
d = sys.argv[1]
with open(d + "/long.lrc", "w") as f:
    for i in range(150):
        f.write("[%02d:%02d.00]line %d of the song\n" % (i * 4 // 60, i * 4 % 60, i))
with open(d + "/other.lrc", "w") as f:
    for i in range(10000):
        s = i * 0.06
        f.write("[%02d:%05.2f]lyrics line number %d\n" % (int(s // 60), s % 60, i))
PY
printf '[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n' >"$HOME/.xmms/config"
printf '[pelskin]\nshowlrc=true\n' >"$HOME/.xmms/pelmar_cfg"
two_songs() { printf '%s\n%s\n' "$song" "$HOME/music/other.m4a" >"$HOME/.xmms/xmms.m3u"; }

remote() { # remote <call> [int]: one libxmms call on session 0, prints its result
  python3 -c "import ctypes,sys; l=ctypes.CDLL(sys.argv[1]); f=getattr(l, sys.argv[2]); print(f(0, *[int(a) for a in sys.argv[3:]]))" \
    "$stage/lib/libxmms.so" "$@"
}
engine_pid() { cat "$XDG_RUNTIME_DIR/xmms_$(id -un).0.pid" 2>/dev/null || true; }
quit_engine() {
  local pid
  pid="$(engine_pid)"
  [ -n "$pid" ] || return 0
  remote xmms_remote_quit >/dev/null 2>&1 || true
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill "$pid" 2>/dev/null || true
  rm -f "$XDG_RUNTIME_DIR/xmms_$(id -un).0.pid"
}
start_engine() {
  "$stage/bin/xmms" >/dev/null 2>&1 &
  for _ in $(seq 200); do [ "$(remote xmms_remote_get_version)" != "0" ] && return 0; sleep 0.02; done
  echo "the engine did not answer"
  return 1
}
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }
# CPU nanoseconds of every live thread of a process (ns precision, unlike clock ticks).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'; }
peak_mib() { awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
frame_ms() {
  { "$build/bench/firstframe" --hold "${1:-0.3}" -- "$stage/bin/velora" 2>>"$tmp/firstframe.log" || true; } |
    awk '/^first-frame/ { print $2 }'
}
sleep 1

echo "== start-up: first full frame (median of 5; load $(loadavg))"
two_songs
cold=()
for _ in 1 2 3 4 5; do
  quit_engine
  cold+=("$(frame_ms 0.5)")
done
quit_engine
start_engine
warm=()
for _ in 1 2 3 4 5; do warm+=("$(frame_ms)"); done
quit_engine
python3 - "$song" "$HOME/.xmms/xmms.m3u" <<'PY'
import sys
with open(sys.argv[2], "w") as f:
    for i in range(10000):
        f.write(sys.argv[1] + "\n")
PY
start_engine
big=()
for _ in 1 2 3 4 5; do big+=("$(frame_ms)"); done
quit_engine
two_songs
c=$(printf '%s\n' "${cold[@]}" | median)
w=$(printf '%s\n' "${warm[@]}" | median)
b=$(printf '%s\n' "${big[@]}" | median)
echo "cold start (velora starts the engine): ${c} ms   runs: ${cold[*]}   goal < 400 ms"
echo "engine already running:                ${w} ms   runs: ${warm[*]}   goal < 300 ms"
echo "engine running, 10 000-entry playlist: ${b} ms   runs: ${big[*]}"
awk -v b="$b" -v w="$w" 'BEGIN { printf "10 000-entry playlist load + panel draw: %.1f ms (difference of the medians)   goal < 100 ms\n", b - w }'

# ---- one long session: stopped, then playing in each window mode ----
"$stage/bin/velora" >"$tmp/velora.log" 2>&1 &
velora_pid=$!
for _ in $(seq 250); do [ "$(remote xmms_remote_get_version)" != "0" ] && break; sleep 0.02; done
epid="$(engine_pid)"
xpid="$xvfb_pid"
sleep 3
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-1}"; }

wakeups() { # wakeups <label> <seconds>: context switches and system calls a second
  local label="$1" s="$2" p name v0 v1
  for p in "$velora_pid" "$epid"; do
    name=$([ "$p" = "$velora_pid" ] && echo velora || echo engine)
    v0=$(cat /proc/"$p"/task/*/status | awk '/ctxt_switches/ { s += $2 } END { print s }')
    sleep "$s"
    v1=$(cat /proc/"$p"/task/*/status | awk '/ctxt_switches/ { s += $2 } END { print s }')
    awk -v n="$name" -v l="$label" -v a="$v0" -v b="$v1" -v s="$s" \
      'BEGIN { printf "%-7s %-8s context switches %6.1f /s\n", n, l, (b - a) / s }'
  done
  for p in "$velora_pid" "$epid"; do
    name=$([ "$p" = "$velora_pid" ] && echo velora || echo engine)
    timeout -s INT "$s" strace -c -f -q -p "$p" -o "$tmp/strace.txt" >/dev/null 2>&1 || true
    awk '/^ *[0-9.]+ +[0-9.]+ +[0-9]+ +[0-9]+/ && $NF != "total" { print $4, $NF }' "$tmp/strace.txt" |
      sort -k1,1nr >"$tmp/calls.txt"
    awk -v n="$name" -v l="$label" -v s="$s" '
      { total += $1; if (NR <= 5) top = top sprintf(" %s %.1f", $2, $1 / s) }
      END { printf "%-7s %-8s system calls     %6.1f /s; most:%s\n", n, l, total / s, top }' "$tmp/calls.txt"
  done
}

echo
echo "== wake-ups, stopped (10 s each; load $(loadavg))"
wakeups stopped 10

# Vertical mode, lyrics tab shown, then play.
click 120 309 1
remote xmms_remote_play >/dev/null
sleep 3
echo
echo "== wake-ups, playing (10 s each; load $(loadavg))"
wakeups playing 10

# Lyrics: velora's CPU in the 2 s after the song changes to one with 10 000 lines of lyrics,
# against one with 150.
lyr_big=()
lyr_small=()
for _ in 1 2 3 4 5; do
  a=$(cpu_ns "$velora_pid")
  remote xmms_remote_set_playlist_pos 1 >/dev/null
  sleep 2
  b=$(cpu_ns "$velora_pid")
  remote xmms_remote_set_playlist_pos 0 >/dev/null
  sleep 2
  c=$(cpu_ns "$velora_pid")
  lyr_big+=("$(((b - a) / 1000))")
  lyr_small+=("$(((c - b) / 1000))")
done
lb=$(printf '%s\n' "${lyr_big[@]}" | median)
ls=$(printf '%s\n' "${lyr_small[@]}" | median)
echo
echo "== lyrics: velora's CPU in the 2 s after a song change (median of 5; load $(loadavg))"
awk -v b="$lb" -v s="$ls" 'BEGIN { printf "to the song with 10 000 lyric lines: %.1f ms; with 150 lines: %.1f ms; load + draw of the 10 000 lines: %.1f ms\n", b / 1000, s / 1000, (b - s) / 1000 }'

window=$((play_seconds / 5))
cost() { # cost <label> <pid>...: median CPU over five windows, per process, % of one core
  local label="$1"
  shift
  local p k
  declare -A runs=()
  for k in 1 2 3 4 5; do
    declare -A a=()
    for p in "$@"; do a[$p]=$(cpu_ns "$p"); done
    sleep "$window"
    for p in "$@"; do runs[$p]+="$(($(cpu_ns "$p") - a[$p])) "; done
  done
  for p in "$@"; do
    printf '%s\n' ${runs[$p]} | median | awk -v l="$label" -v p="$p" -v w="$window" -v t="$play_seconds" \
      '{ printf "%s %s %.3f %.3f\n", l, p, 100 * $1 / 1e9 / w, $1 / 1e9 / w * t }'
  done
}

echo
echo "== playing: CPU over ${play_seconds} s in each window mode, lyrics shown (median of 5 windows of ${window} s)"
declare -a lines=()
mode_cost() {
  local mode="$1" load
  load=$(loadavg)
  while read -r _ pid pct secs; do
    who=$([ "$pid" = "$velora_pid" ] && echo velora || { [ "$pid" = "$epid" ] && echo engine || echo Xvfb; })
    printf '%-10s %-6s %6.3f %% of a core  %6.3f CPU s per %s s   (load %s)\n' "$mode" "$who" "$pct" "$secs" "$play_seconds" "$load"
    echo "$mode $who $pct" >>"$tmp/costs"
  done < <(cost "$mode" "$velora_pid" "$epid" "$xpid")
}
mode_cost vertical
click 177 15 2 # mini mode
mode_cost mini
click 210 8 1 # back to the full window, then horizontal
click 201 15 2
mode_cost horizontal
[ "$(remote xmms_remote_is_playing)" = "1" ] || echo "warning: the engine was not playing at the end"
vpeak=$(peak_mib "$velora_pid")
epeak=$(peak_mib "$epid")

kill "$velora_pid" 2>/dev/null || true
velora_pid=""
# The engine plays on with nothing asking it anything: its own cost, beside FAAD2's below.
sleep 1
echo
echo "== the engine alone, still playing, velora closed (load $(loadavg))"
alone_pct=$(cost alone "$epid" | awk '{ print $3 }')
echo "engine     ${alone_pct} % of a core (median of 5 windows of ${window} s)"
quit_engine

echo
echo "== mpv --no-video --ao=null, the same file for ${play_seconds} s (load $(loadavg))"
mpv --no-config --no-video --ao=null --really-quiet "$song" &
mpv_pid=$!
sleep 2
mpct=$(cost mpv "$mpv_pid" | awk '{ print $3 }')
mpeak=$(peak_mib "$mpv_pid")
kill "$mpv_pid" 2>/dev/null || true
wait "$mpv_pid" 2>/dev/null || true
echo "mpv        ${mpct} % of a core (median of 5 windows of ${window} s)"

echo
echo "== FAAD2's own decode of the same audio (bare loop, median of 5)"
faad_out=$(M4A_BENCH_MP4="$song" "$build/bench/m4ainput/m4ainput_bench" \
  --benchmark_filter='BM_BareFaad2Mp4/|BM_BareFaad2Mp4Paced/250' \
  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null)
faad_ms=$(awk '/^BM_BareFaad2Mp4\/.*_median/ { print $2 }' <<<"$faad_out")
paced_ms=$(awk '/^BM_BareFaad2Mp4Paced\/250.*_median/ { print $2 }' <<<"$faad_out")
faad_pct=$(awk -v m="$faad_ms" 'BEGIN { printf "%.3f", 100 * m / 1000 / 600 }')
paced_pct=$(awk -v m="$paced_ms" 'BEGIN { printf "%.3f", 100 * m / 1000 / 600 }')
echo "ten minutes in ${faad_ms} ms: ${faad_pct} % of a core in real time"
echo "the same loop in bursts of 250 ms of audio, as the engine decodes: ${paced_ms} ms, ${paced_pct} %"

echo
echo "== summary (playing, % of one core; mpv ${mpct} %)"
for mode in vertical mini horizontal; do
  awk -v m="$mode" -v mp="$mpct" -v fa="$faad_pct" -v fp="$paced_pct" '
    $1 == m && $2 == "velora" { v = $3 } $1 == m && $2 == "engine" { e = $3 } $1 == m && $2 == "Xvfb" { x = $3 }
    END {
      t = v + e
      printf "%-10s velora %.3f + engine %.3f = %.3f %% (Xvfb %.3f); mpv %.3f: ratio %.2f (goal < 0.33), ", m, v, e, t, x, mp, t / mp
      printf "%s 0.5 %% goal; engine / FAAD2 %.2f (goal < 1.3), / FAAD2 in bursts %.2f\n", (t < 0.5 ? "under the" : "over the"), e / fa, e / fp
    }' "$tmp/costs"
done
awk -v e="$alone_pct" -v fa="$faad_pct" -v fp="$paced_pct" 'BEGIN {
  printf "engine alone %.3f %%: / FAAD2 %.2f (goal < 1.3), / FAAD2 in bursts %.2f\n", e, e / fa, e / fp }'
echo
echo "== peak resident size while playing"
echo "velora ${vpeak} MiB (goal < 40), engine ${epeak} MiB (goal < 10), mpv ${mpeak} MiB"
