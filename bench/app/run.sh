#!/usr/bin/env bash
# The conversion run's own cost, timed as whole processes, the contenders alternating
# (ours, theirs, ours, ...), median and spread (lowest to highest) of the runs:
#   (a) adding 1,000 short files of mixed formats (WAV, MP3, FLAC, Ogg, WavPack,
#       Monkey's Audio, True Audio, Musepack, WMA, AVI; one second each) to the file
#       list of an offscreen list view, against ffprobe run on the same files one
#       after another;
#   (b) a run converting 20 WAV files of music to FLAC (level 5) and to MP3 (160 kbit/s
#       CBR, stereo, no bit reservoir) through TOutput, normaliser off, against flac -5
#       and lame with the same settings converting the same files one after another.
# Usage: bench/app/run.sh [runs, default 5] [seconds per file of (b), default 30] [add|convert|all]
# BENCH_BUILD names the build folder (default build-bench-app).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-$root/build-bench-app}
runs=${1:-5}
secs=${2:-30}
which=${3:-all}
source "$root/bench/common.sh"
bench_require cmake sox lame flac oggenc wavpack mpcenc ffmpeg ffprobe
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" -j4 --target bench_app lame_enc MACDll TTALib mpdec mppenc cdrip >/dev/null
ours=$build/bin/bench_app
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d "${TMPDIR:-/tmp}/app-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# (a) one short file per format, copied under 100 names each.
mkdir -p "$work/base" "$work/mixed"
b=$work/base
bench_music "$b/s.wav" 1
lame --quiet -b 128 "$b/s.wav" "$b/s.mp3"
flac -s -f -o "$b/s.flac" "$b/s.wav"
oggenc -Q -q 3 -o "$b/s.ogg" "$b/s.wav"
wavpack -q -y "$b/s.wav" -o "$b/s.wv"
mpcenc --silent --overwrite "$b/s.wav" "$b/s.mpc"
ffmpeg -nostdin -v error -y -i "$b/s.wav" -c:a tta "$b/s.tta"
ffmpeg -nostdin -v error -y -i "$b/s.wav" -c:a wmav2 -b:a 128k "$b/s.wma"
ffmpeg -nostdin -v error -y -i "$b/s.wav" -c:a pcm_s16le -f avi "$b/s.avi"
"$ours" ape "$b/s.wav" "$b/s.ape" >/dev/null
for ext in wav mp3 flac ogg wv ape tta mpc wma avi; do
  for ((i = 0; i < 100; i++)); do cp "$b/s.$ext" "$work/mixed/$(printf '%03d' "$i").$ext"; done
done
cat "$work"/mixed/* >/dev/null
ffprobe_all() { for f in "$1"/*; do ffprobe -v error -show_format -show_streams "$f" >/dev/null; done; }

# (b) 20 files of music.
mkdir -p "$work/songs" "$work/out-ours" "$work/out-tool"
bench_music "$work/songs/00.wav" "$secs"
for ((i = 1; i < 20; i++)); do cp "$work/songs/00.wav" "$work/songs/$(printf '%02d' "$i").wav"; done
cat "$work"/songs/* >/dev/null
ours_convert() { rm -rf "$work/out-ours"/*; "$ours" convert "$1" "$work/songs" "$work/out-ours"; }
flac_all() { for f in "$work"/songs/*.wav; do flac -s -f -5 -o "$work/out-tool/$(basename "$f" .wav).flac" "$f"; done; }
lame_all() {
  for f in "$work"/songs/*.wav; do lame --quiet -m s --nores --noreplaygain -b 160 "$f" "$work/out-tool/$(basename "$f" .wav).mp3"; done
}

# Runs the two commands alternately $runs times each; prints their medians and spreads.
declare -a ta tb
alternate() {
  ta=() tb=()
  local i s e
  for ((i = 0; i < runs; i++)); do
    s=$(date +%s%N); eval "$1" >/dev/null 2>&1; e=$(date +%s%N); ta+=($((e - s)))
    s=$(date +%s%N); eval "$2" >/dev/null 2>&1; e=$(date +%s%N); tb+=($((e - s)))
  done
}
stats() {  # median, lowest and highest of the arguments (nanoseconds), in seconds
  printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.3f s (%.3f-%.3f)", a[int((NR+1)/2)]/1e9, a[1]/1e9, a[NR]/1e9}'
}
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
row() {
  printf '%-34s ours %s   tool %s   ratio %s\n' "$1" "$(stats "${ta[@]}")" "$(stats "${tb[@]}")" \
    "$(awk -v o="$(median "${ta[@]}")" -v t="$(median "${tb[@]}")" 'BEGIN {printf "%.3f", o / t}')"
}

printf 'median of %d alternating runs (lowest-highest), wall clock of whole processes\n\n' "$runs"
if [[ $which != convert ]]; then
  listed=$("$ours" add "$work/mixed" 2>/dev/null)
  alternate "\"$ours\" add \"$work/mixed\"" "ffprobe_all \"$work/mixed\""
  row "(a) add 1,000 files ($listed listed)"
fi
[[ $which == add ]] && exit 0
alternate "ours_convert flac" flac_all
row "(b) 20 x ${secs} s to FLAC -5"
alternate "ours_convert mp3" lame_all
row "(b) 20 x ${secs} s to MP3 160k CBR"

# The results must be right, or the times mean nothing.
ours_convert flac >/dev/null 2>&1
flac -s -t "$work"/out-ours/*.flac && echo "check: our FLAC files pass flac -t"
ours_convert mp3 >/dev/null 2>&1
printf 'check: MP3 sizes ours %d, lame %d bytes (one file)\n' "$(stat -c %s "$work/out-ours/00.mp3")" \
  "$(stat -c %s "$work/out-tool/00.mp3")"
