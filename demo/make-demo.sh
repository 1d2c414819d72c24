#!/usr/bin/env bash
# Makes the demo tracks installed with velora: short pieces in each format the player knows,
# with lines spoken by espeak-ng over a soft chord and an LRC file whose times are the moments
# each line starts. The results are committed, so a build never depends on the voices of the
# espeak-ng at hand; run this again only to change the demo.
#   demo/make-demo.sh [output folder]      (default: the folder of this script)
# Needs espeak-ng, ffmpeg (with libmp3lame, libvorbis, libopus) and iconv.
set -euo pipefail
out="${1:-$(cd "$(dirname "$0")" && pwd)}"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for tool in espeak-ng ffmpeg ffprobe iconv; do
  command -v "$tool" >/dev/null || { echo "make-demo.sh: $tool is missing" >&2; exit 1; }
done

lead_cs=200 # centiseconds of chord before the first line
gap_cs=120  # centiseconds between the end of one line and the start of the next

# centiseconds -> mm:ss.xx
lrc_time() { printf '%02d:%02d.%02d' $(($1 / 6000)) $(($1 / 100 % 60)) $(($1 % 100)); }

# make_track NAME EXT VOICE TITLE LRC_CHARSET "ROOT THIRD FIFTH" "ENCODER ARGS" LINE...
make_track() {
  local name="$1" ext="$2" voice="$3" title="$4" charset="$5" chord="$6" enc="$7"
  shift 7
  local -a inputs=() delays=()
  local lrc="$work/$name.lrc" start_cs=$lead_cs i=0
  {
    printf '[ti:%s]\n[ar:velora demo]\n[by:demo/make-demo.sh]\n' "$title"
  } >"$lrc"
  for line in "$@"; do
    local wav="$work/$name-$i.wav"
    espeak-ng -v "$voice" -s 145 -a 110 -w "$wav" "$line"
    local dur
    dur=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$wav")
    printf '[%s]%s\n' "$(lrc_time "$start_cs")" "$line" >>"$lrc"
    inputs+=(-i "$wav")
    delays+=("$((start_cs * 10))")
    start_cs=$((start_cs + $(awk -v d="$dur" 'BEGIN { printf "%d", d * 100 + 0.5 }') + gap_cs))
    i=$((i + 1))
  done
  # The piece ends two seconds after the last line, at least 20 s long.
  local total_cs=$((start_cs - gap_cs + 200))
  [ "$total_cs" -lt 2000 ] && total_cs=2000
  printf '[%s]\n' "$(lrc_time "$((total_cs - 100))")" >>"$lrc"
  local total
  total=$(printf '%d.%02d' $((total_cs / 100)) $((total_cs % 100)))

  # A soft major chord that breathes slowly, fading in and out.
  local r t f
  read -r r t f <<<"$chord"
  local pad="0.045*(sin(2*PI*$r*t)+0.8*sin(2*PI*$t*t)+0.7*sin(2*PI*$f*t)+0.3*sin(2*PI*2*$r*t))"
  pad="$pad*(0.75+0.25*sin(2*PI*0.2*t))"
  local filter="aevalsrc=$pad:s=22050:d=$total,afade=t=in:d=1.5,afade=t=out:st=$((total_cs / 100 - 2)):d=2[pad];"
  local mix="[pad]"
  for ((k = 0; k < ${#delays[@]}; k++)); do
    filter+="[$k:a]aresample=22050,adelay=${delays[$k]}[v$k];"
    mix+="[v$k]"
  done
  filter+="${mix}amix=inputs=$((${#delays[@]} + 1)):duration=first:normalize=0,alimiter=limit=0.7:level=0"
  # shellcheck disable=SC2086
  ffmpeg -v error -y "${inputs[@]}" -filter_complex "$filter" -ac 1 \
    -metadata title="$title" -metadata artist="velora demo" $enc "$out/$name.$ext"
  if [ "$charset" = UTF-8 ]; then
    cp "$lrc" "$out/$name.lrc"
  else
    iconv -f UTF-8 -t "$charset" "$lrc" >"$out/$name.lrc"
  fi
  echo "$name.$ext: $total s, $(stat -c %s "$out/$name.$ext") bytes, lyrics in $charset"
}

# Lines stay short: at the default lyrics size a row holds about twenty letters.
make_track 01-welcome m4a en-gb "Welcome — café des sons" UTF-8 "220 277.18 329.63" \
  "-c:a aac -b:a 40k -ar 22050" \
  "Welcome to velora." \
  "A small music player." \
  "This song is M P 4." \
  "Its lyrics are UTF-8," \
  "café and all." \
  "Tap a line to loop it." \
  "Pause, play: loop ends."

make_track 02-chunxiao mp3 cmn "春天的问候" GBK "196 246.94 293.66" \
  "-c:a libmp3lame -b:a 40k -ar 22050" \
  "欢迎使用播放器。" \
  "这是中文示例歌曲。" \
  "歌词用国标码保存。" \
  "每句歌词按时亮起。" \
  "点一下就循环这句。" \
  "祝你听得愉快。"

make_track 03-night-train ogg en-us "Night Train" UTF-8 "174.61 220 261.63" \
  "-c:a libvorbis -q:a 0 -ar 22050" \
  "This one is Ogg Vorbis." \
  "Tap A at the start," \
  "and B at the end." \
  "Now that part repeats." \
  "Tap B to let it go."

make_track 04-lanterns flac en-gb "Lanterns" UTF-8 "261.63 329.63 392" \
  "-c:a flac -compression_level 8 -ar 16000 -sample_fmt s16" \
  "This song is FLAC," \
  "without any loss." \
  "Drag the bar to seek." \
  "Volume is on the right." \
  "The equaliser shapes it."

make_track 05-last-light opus en-us "Last Light" UTF-8 "233.08 293.66 349.23" \
  "-c:a libopus -b:a 24k" \
  "The last one is Opus." \
  "Turn to the wide view," \
  "or fold into a strip." \
  "Open your own folder," \
  "and thank you."
