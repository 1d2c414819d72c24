#!/usr/bin/env bash
# Installs the Debian packages velora needs, when any is missing. One list per purpose:
#   cmake/packages.sh [play]          building and playing: what ./run needs
#   cmake/packages.sh test            the above, and what ./test adds
#   cmake/packages.sh bench           the first, and what bench/run adds
#   cmake/packages.sh --list PURPOSE  prints the packages PURPOSE needs, one a line; installs nothing
# One package a line, so that changes adding packages to different lists merge cleanly.
set -euo pipefail

# Building and playing.
PLAY_PACKAGES=(
  cmake
  g++
  make
  pkg-config
  qt6-base-dev
  qt6-5compat-dev
  qt6-l10n-tools
  libgl-dev
  libglib2.0-dev
  libfaad-dev
  libasound2-dev
  libmpg123-dev
  libvorbis-dev
  libflac-dev
  libopusfile-dev
  libtag1-dev
  libsoundtouch-dev
  libavformat-dev
  libavcodec-dev
  libswresample-dev
  libavutil-dev
  mplayer
  fonts-wqy-microhei
  fonts-dejavu-core
  qt6-wayland
)

# Running the test suite (./test), and the tools that remake its fixtures and the demo.
TEST_PACKAGES=(
  libgtest-dev
  libgmock-dev
  ffmpeg
  dbus
  playerctl
  imagemagick
  desktop-file-utils
  weston
  xvfb
  xdotool
  appstream
  man-db
  dpkg-dev
  file
  lintian
  espeak-ng
  clang
  libclang-rt-14-dev
)

# Benchmarks (bench/run): the players and tools measured beside velora, and the X server they
# run on.
BENCH_PACKAGES=(
  libbenchmark-dev
  libx11-dev
  ffmpeg
  faad
  mpv
  strace
  time
  xvfb
  xdotool
  x11-utils
  imagemagick
)

# The packages of a purpose, those of building and playing first.
packages_for() {
  case "$1" in
  play) printf '%s\n' "${PLAY_PACKAGES[@]}" ;;
  test) printf '%s\n' "${PLAY_PACKAGES[@]}" "${TEST_PACKAGES[@]}" ;;
  bench) printf '%s\n' "${PLAY_PACKAGES[@]}" "${BENCH_PACKAGES[@]}" ;;
  *)
    echo "packages.sh: unknown purpose \"$1\" (play, test or bench)" >&2
    return 2
    ;;
  esac
}

if [ "${1:-}" = "--list" ]; then
  [ $# -eq 2 ] || { echo "usage: packages.sh --list play|test|bench" >&2; exit 2; }
  packages_for "$2" | awk '!seen[$0]++'
  exit 0
fi
[ $# -le 1 ] || { echo "usage: packages.sh [play|test|bench]" >&2; exit 2; }
wanted=$(packages_for "${1:-play}" | awk '!seen[$0]++')

missing=()
for p in $wanted; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "velora needs these packages; run as root: $line" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
