#!/usr/bin/env bash
# Decode speed of the engine's input plug-ins (MP3, Ogg Vorbis, FLAC, Opus and the catch-all
# FFmpeg plug-in on ALAC, WavPack, AIFF, Vorbis and Opus) against ffmpeg decoding the same
# ten-minute files to nothing. The files are made here, in a temporary folder, and removed.
#
#   bench/inputs/run.sh [build folder configured with -DVELORA_BENCH=ON]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build-inputs-bench}" && pwd)"
cmake --build "$build" -j1 --target inputs_decode_speed >/dev/null
driver="$build/bench/inputs_decode_speed"
plugins="$build/stage/lib/xmms/Input"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Ten minutes of a sound with some life in it: a few drifting tones and a little noise, stereo.
src="aevalsrc=0.3*sin(2*PI*(220+20*sin(0.3*t))*t)+0.2*sin(2*PI*(660+50*sin(0.7*t))*t)+0.05*(random(0)-0.5)|0.3*sin(2*PI*(330+30*sin(0.2*t))*t)+0.2*sin(2*PI*1320*t)+0.05*(random(1)-0.5):s=44100:d=600"
ff=(ffmpeg -hide_banner -loglevel error -y)
echo "making ten-minute files in $work ..."
"${ff[@]}" -f lavfi -i "$src" -c:a pcm_s16le "$work/long.wav"
"${ff[@]}" -i "$work/long.wav" -c:a libmp3lame -b:a 192k "$work/long.mp3"
"${ff[@]}" -i "$work/long.wav" -c:a libvorbis -q:a 5 "$work/long.ogg"
"${ff[@]}" -i "$work/long.wav" -c:a flac "$work/long.flac"
"${ff[@]}" -i "$work/long.wav" -c:a libopus -b:a 128k "$work/long.opus"
"${ff[@]}" -i "$work/long.wav" -c:a flac -sample_fmt s32 -bits_per_raw_sample 24 "$work/long24.flac"
"${ff[@]}" -i "$work/long.wav" -c:a alac -f mp4 "$work/long.alac"
"${ff[@]}" -i "$work/long.wav" -c:a wavpack "$work/long.wv"
"${ff[@]}" -i "$work/long.wav" -c:a pcm_s16be "$work/long.aiff"

ffmpeg_time() { # median of five: wall and CPU (user + system) seconds, decoding to the null muxer
  local walls=() cpus=() t wall user sys
  for _ in 1 2 3 4 5; do
    t=$( { TIMEFORMAT='%R %U %S'; time ffmpeg -hide_banner -loglevel error -threads 1 -i "$1" -f null - </dev/null; } 2>&1 )
    read -r wall user sys <<<"$t"
    walls+=("$wall")
    cpus+=("$(awk -v a="$user" -v s="$sys" 'BEGIN { print a + s }')")
  done
  local w c
  w=$(printf '%s\n' "${walls[@]}" | sort -g | sed -n 3p)
  c=$(printf '%s\n' "${cpus[@]}" | sort -g | sed -n 3p)
  awk -v n="ffmpeg $(basename "$1")" -v t="$w" -v c="$c" \
    'BEGIN { printf "%-40s audio   600.0 s  wall %6.3f s  cpu %6.3f s  %6.0fx real time\n", n, t, c, 600 / t }'
}

echo
echo "== plug-ins (median of 5; load $(cut -d' ' -f1-3 /proc/loadavg))"
"$driver" "$plugins/libmpg123input.so" "$work/long.mp3"
"$driver" "$plugins/libvorbisinput.so" "$work/long.ogg"
"$driver" "$plugins/libflacinput.so" "$work/long.flac"
"$driver" "$plugins/libflacinput.so" "$work/long24.flac"
"$driver" "$plugins/libflacinput.so" "$work/long.flac" --eq
[ -e "$plugins/libopusinput.so" ] && "$driver" "$plugins/libopusinput.so" "$work/long.opus"
if [ -e "$plugins/libffmpeginput.so" ]; then
  echo "-- the FFmpeg plug-in"
  for f in long.alac long.wv long.aiff long.ogg long.opus; do
    "$driver" "$plugins/libffmpeginput.so" "$work/$f"
  done
fi
echo
echo "== ffmpeg to nothing (median of 5, one thread; load $(cut -d' ' -f1-3 /proc/loadavg))"
for f in long.mp3 long.ogg long.flac long24.flac long.opus long.alac long.wv long.aiff; do
  ffmpeg_time "$work/$f"
done
