#!/usr/bin/env bash
# Looks at velora the way a phone shell shows it: weston's kiosk shell (every window fills the
# screen) at a phone's size and scale, velora as a native Wayland client on a throw-away home,
# one screenshot. Open the PNG.
#
# usage: tests/wayland/kiosk-shot.sh PREFIX OUT.png [WIDTH HEIGHT SCALE]   (default 720 1440 2)
#   PREFIX  an install prefix holding bin/velora and bin/xmms (./run uses build/prefix)
# needs: weston xvfb qt6-wayland (Debian packages)
#
# weston 10's kiosk shell shows a window only once an input seat activates it, and its headless
# back-end has no seat (every client stays black there), so weston runs on its X11 back-end in a
# private X server, whose pointer is the seat.
set -euo pipefail
prefix=$(cd "$1" && pwd); out=$2
w=${3:-720}; h=${4:-1440}; scale=${5:-2}
for t in Xvfb weston weston-screenshooter; do
  command -v $t >/dev/null || { echo "kiosk-shot: $t is missing (apt-get install weston xvfb qt6-wayland)" >&2; exit 1; }
done

home=$(mktemp -d); sock=wl-kiosk-$$
mkdir -p "$home/run" "$home/.xmms"; chmod 700 "$home/run"
printf '[xmms]\noutput_plugin=libnullout.so\n' > "$home/.xmms/config"
export HOME=$home XDG_RUNTIME_DIR=$home/run
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
cleanup() {
  [ -n "${vp:-}" ] && kill "$vp" 2>/dev/null && sleep 1
  python3 -c "import ctypes,glob;ctypes.CDLL(sorted(glob.glob('$prefix/lib/libxmms.so*'))[0]).xmms_remote_quit(0)" 2>/dev/null || true
  [ -n "${wp:-}" ] && kill "$wp" 2>/dev/null
  [ -n "${xp:-}" ] && kill "$xp" 2>/dev/null
  rm -rf "$home"
}
trap cleanup EXIT
# The X server picks a free display itself and prints its number once it takes clients.
Xvfb -displayfd 1 -nolisten tcp -screen 0 "$((w * scale + 64))x$((h * scale))x24" > "$home/display" 2>/dev/null & xp=$!
for _ in $(seq 300); do grep -q . "$home/display" 2>/dev/null && break; sleep 0.1; done
display=:$(head -1 "$home/display")
DISPLAY=$display weston --backend=x11-backend.so --use-pixman --width="$w" --height="$h" \
  --scale="$scale" --shell=kiosk-shell.so --debug --socket="$sock" > "$home/weston.log" 2>&1 & wp=$!
for _ in $(seq 300); do [ -S "$home/run/$sock" ] && break; sleep 0.1; done
# The cursor picture out of the way, in the lower right corner. The X screen is 64 pixels wider
# than weston's window: the pointer comes in from there, and weston takes the position of an
# entry, where it would take a plain motion as a step from a place it may not know.
if command -v xdotool >/dev/null; then
  DISPLAY=$display xdotool mousemove $((w * scale + 32)) $((h * scale - 1)) mousemove $((w * scale - 1)) $((h * scale - 1)) || true
fi
WAYLAND_DISPLAY=$sock QT_QPA_PLATFORM=wayland "$prefix/bin/velora" > "$home/velora.log" 2>&1 & vp=$!
# The window is there once velora's screen is more than the kiosk's black.
for _ in $(seq 60); do
  sleep 1
  rm -f "$home"/wayland-screenshot-*.png
  (cd "$home" && WAYLAND_DISPLAY=$sock timeout 20 weston-screenshooter) || true
  shot=$(ls "$home"/wayland-screenshot-*.png 2>/dev/null | head -1)
  [ -n "$shot" ] && [ "$(convert "$shot" -format '%[fx:maxima]' info: 2>/dev/null)" != 0 ] && break
done
[ -n "${shot:-}" ] || { echo "kiosk-shot: no screenshot (weston's log follows)" >&2; cat "$home/weston.log" >&2; exit 1; }
sleep 2 # the first picture may still be the one before the shell's size
rm -f "$home"/wayland-screenshot-*.png
(cd "$home" && WAYLAND_DISPLAY=$sock timeout 20 weston-screenshooter)
cp "$home"/wayland-screenshot-*.png "$out"
echo "$out ($(identify -format '%wx%h' "$out" 2>/dev/null || echo picture))"
