#!/usr/bin/env bash
# Decode speed of the MP4/AAC plug-in on a 10-minute 128 kb/s stereo AAC file (made here with
# ffmpeg, not kept): the plug-in to a null output, a bare FAAD2 loop, and the faad command.
# Usage: bench/m4ainput/run.sh [build folder]   (default: build-bench beside this tree)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${1:-$root/build-bench}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cmake --build "$build" -j1 --target m4ainput_bench >/dev/null

echo "== making a 10-minute 128 kb/s stereo AAC file"
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=0.3*sin(2*PI*(220+40*sin(2*PI*0.1*t))*t)|0.3*sin(2*PI*(330+60*sin(2*PI*0.07*t))*t)+0.05*random(0):s=44100:d=600" \
  -c:a aac -b:a 128k "$work/long.m4a"
ffmpeg -hide_banner -loglevel error -y -i "$work/long.m4a" -c:a copy -f adts "$work/long.aac"
ls -l "$work/long.m4a" "$work/long.aac"

# The cases' repetitions run in a random order, interleaved: on a shared machine the load drifts
# over a run, and cases run one after another would each see a different part of it (a plug-in
# that costs what FAAD2 costs once measured 1.21 x that way).
reps="${M4A_BENCH_REPS:-9}"
echo "== plug-in and bare FAAD2 loop: CPU ms for ten minutes, median of $reps interleaved (load $(cut -d' ' -f1-3 /proc/loadavg))"
M4A_BENCH_MP4="$work/long.m4a" M4A_BENCH_AAC="$work/long.aac" \
  "$build/bench/m4ainput/m4ainput_bench" --benchmark_repetitions="$reps" \
  --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true 2>/dev/null | awk '/_median/ { print $1, $2 }' >"$work/medians"
awk '
  { gsub(/_median$/, "", $1); gsub(/\/manual_time/, "", $1); gsub(/\/iterations:[0-9]+/, "", $1); t[$1] = $2 }
  END {
    label["BM_BareFaad2Mp4"] = "bare FAAD2 loop, MP4"
    label["BM_PluginMp4"] = "plug-in, MP4, equalizer off"
    label["BM_PluginMp4Equalizer/1"] = "plug-in, MP4, equalizer on, flat"
    label["BM_PluginMp4Equalizer/2"] = "plug-in, MP4, one band at +6 dB"
    label["BM_PluginMp4Equalizer/3"] = "plug-in, MP4, most bands moved"
    label["BM_BareFaad2RawAac"] = "bare FAAD2 loop, ADTS"
    label["BM_PluginRawAac"] = "plug-in, ADTS"
    label["BM_EqualizerTenMinutes/1"] = "equalizer alone, flat"
    label["BM_EqualizerTenMinutes/2"] = "equalizer alone, one band at +6 dB"
    label["BM_EqualizerTenMinutes/3"] = "equalizer alone, most bands moved"
    bare = t["BM_BareFaad2Mp4"]; off = t["BM_PluginMp4"]
    # Interleaved repetitions report the cases in a random order: print them in a fixed one.
    n = split("BM_EqualizerTenMinutes/1 BM_EqualizerTenMinutes/2 BM_EqualizerTenMinutes/3 BM_BareFaad2Mp4 BM_PluginMp4 BM_PluginMp4Equalizer/1 BM_PluginMp4Equalizer/2 BM_PluginMp4Equalizer/3 BM_BareFaad2RawAac BM_PluginRawAac", order, " ")
    for (i = 1; i <= n; ++i) {
      k = order[i]
      if (!(k in t)) continue
      line = sprintf("%-38s %8.1f ms", label[k] != "" ? label[k] : k, t[k])
      if (k ~ /Mp4/ && k != "BM_BareFaad2Mp4") line = line sprintf("   %.3f x bare FAAD2", t[k] / bare)
      if (k ~ /Equalizer\//) line = line sprintf(", %+.1f %% over equalizer off", 100 * (t[k] / off - 1))
      if (k == "BM_PluginRawAac") line = line sprintf("   %.3f x bare FAAD2", t[k] / t["BM_BareFaad2RawAac"])
      print line
    }
    printf "goals: flat costs nothing (%+.1f %%); one band at +6 dB at most +10 %% (%+.1f %%)\n",
      100 * (t["BM_PluginMp4Equalizer/1"] / off - 1), 100 * (t["BM_PluginMp4Equalizer/2"] / off - 1)
  }' "$work/medians"

# Median of five runs of a command: CPU seconds (user + system, comparable with the figures
# above) and wall seconds.
cost() {
  local cpu=() wall=() t user sys w
  for _ in 1 2 3 4 5; do
    t=$( { TIMEFORMAT='%U %S %R'; time "$@" >/dev/null 2>&1; } 2>&1 )
    read -r user sys w <<<"$t"
    cpu+=("$(awk -v a="$user" -v b="$sys" 'BEGIN { print a + b }')")
    wall+=("$w")
  done
  med() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
  echo "cpu $(med "${cpu[@]}")s  wall $(med "${wall[@]}")s"
}
echo "== reference commands (median of 5; load $(cut -d' ' -f1-3 /proc/loadavg))"
if command -v faad >/dev/null; then
  echo "faad -w (MP4):               $(cost faad -w "$work/long.m4a")"
  echo "faad -w (ADTS):              $(cost faad -w "$work/long.aac")"
else
  echo "faad: not installed (Debian package faad)"
fi
echo "ffmpeg -threads 1 (MP4):     $(cost ffmpeg -v error -threads 1 -i "$work/long.m4a" -f s16le -)"
