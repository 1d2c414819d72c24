#!/usr/bin/env bash
# Installs the Debian packages velora needs to build, test and play, when any is missing.
set -euo pipefail
PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-5compat-dev libgl-dev
  libglib2.0-dev libfaad-dev libasound2-dev libmpg123-dev libvorbis-dev libflac-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libopusfile-dev libtag1-dev libsoundtouch-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  ffmpeg mplayer fonts-wqy-microhei fonts-dejavu-core faad
  dbus playerctl xvfb xdotool x11-utils imagemagick espeak-ng desktop-file-utils
  mpv strace time libx11-dev
  qt6-wayland weston
  clang libclang-rt-14-dev
)
missing=()
for p in "${PACKAGES[@]}"; do
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
