#!/usr/bin/env bash
# A soak under load: velora and its engine on a mixed playlist (every format the engine plays, a
# missing entry, broken files), on the null output, driven by random commands for a given time:
# remote calls straight to the engine, taps on the window's controls, folder reloads through the
# open-folder dialog, up to 50 a second. Reports what was sent, every call not answered within
# 1 s (a wedge), every crash or unexpected restart of either process, and the resident sizes of
# both at the start and the end. Never run by ./test.
#
#   bench/soak/run.sh [build folder, default build-bench] [seconds, 600] [seed, random] [kinds]
# kinds: which commands to send, default remote,taps,reloads (one alone tells which of them a
# growth follows).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build-bench}"
seconds="${2:-600}"
seed="${3:-$RANDOM$RANDOM}"
kinds="${4:-remote,taps,reloads}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELORA_BENCH=ON >/dev/null
fi
build="$(cd "$build" && pwd)"
# The player, the engine and every plug-in the tree has (some may not exist in an older tree).
available="$(cmake --build "$build" --target help | sed -n 's/^\.\.\. \([a-z0-9_]*\).*/\1/p')"
targets=()
for t in velora default_skin xmms_engine nullout m4ainput slaveinput mplayer_adaptor wavinput mpg123input \
  vorbisinput flacinput opusinput ffmpeginput; do
  grep -qx "$t" <<<"$available" && targets+=("$t")
done
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
for t in Xvfb xdotool dbus-run-session dbus-send ffmpeg python3; do
  command -v "$t" >/dev/null || { echo "needs $t (see cmake/packages.sh)"; exit 1; }
done

tmp="$(mktemp -d)"
disp=":$((40 + RANDOM % 20))"
Xvfb "$disp" -screen 0 480x640x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true; rm -rf "$tmp"' EXIT
export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" DISPLAY="$disp"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# A session bus of its own: the desktop side of velora (MPRIS) runs as it does on a desktop, and
# the soak asks velora itself whether it still answers through it.
dbus-run-session -- python3 "$root/bench/soak/soak.py" --stage "$build/stage" \
  --seconds "$seconds" --seed "$seed" --kinds "$kinds"
