#!/usr/bin/env bash
# The application's own costs, timed as whole processes by bench_alternate (common.sh):
#   add     adding 1,000 short files of mixed formats (WAV, MP3, FLAC, Ogg, WavPack,
#           Monkey's Audio, True Audio, Musepack, WMA, AVI; one second each) to the file
#           list of an offscreen list view, against ffprobe run on the same files one
#           after another;
#   convert 12 WAV files of music converted to FLAC (level 5) and to MP3 (160 kbit/s CBR,
#           stereo, no bit reservoir), normaliser off, through TOutput alone ("library")
#           against flac -5 and lame with the same settings converting the same files
#           one after another;
#   window  the same runs from the program's main window (offscreen), as users convert:
#           the settings point it at the folder, "Convert" is pressed with the mouse, the
#           window closes when the run has ended; against the library run and the tools;
#   start   the program's start-up to idle (its window painted, nothing left to do)
#           with empty settings, against an empty Qt Widgets program with a window of
#           the same size and against the program returning at once (what loading it and
#           its libraries costs); and with a 1,000-file source folder in the settings.
# Usage: bench/app/run.sh [runs, default 5] [seconds per file, default 30] [add|convert|window|start|all]
# BENCH_BUILD names the build folder (default: one below ${TMPDIR:-/tmp} for this source tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-${TMPDIR:-/tmp}/sonvix-bench-app-$(printf %s "$root" | cksum | cut -d' ' -f1)}
runs=${1:-5}
secs=${2:-30}
which=${3:-all}
case $which in add | convert | window | start | all) ;; *) echo "unknown part: $which" >&2; exit 2 ;; esac
source "$root/bench/common.sh"
bench_require cmake sox lame flac oggenc wavpack mpcenc ffmpeg ffprobe
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" -j4 --target bench_app bench_window bench_empty_app lame_enc MACDll TTALib mpdec mppenc cdrip \
  >/dev/null
ours=$build/bin/bench_app
window=$build/bin/bench_window
empty=$build/bin/bench_empty_app
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d "${TMPDIR:-/tmp}/app-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The window's settings file and default folders are the bench's own.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
printf 'XDG_MUSIC_DIR="%s"\n' "$work/music" >"$XDG_CONFIG_HOME/user-dirs.dirs"

# A contender's printed count must be what it should have listed or converted.
expect() {
  local want=$1 got
  shift
  got=$("$@")
  [[ $got == "$want" ]] || { echo "$* gave $got, not $want" >&2; return 1; }
}

# One short file per format, copied under 100 names each.
mixed_folder() {
  [[ -d $work/mixed ]] && return
  mkdir -p "$work/base" "$work/mixed"
  local b=$work/base ext i
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
  listed=$("$ours" add "$work/mixed" 2>/dev/null)
}
ffprobe_all() {
  local f
  for f in "$work"/mixed/*; do ffprobe -v error -show_format -show_streams "$f" >/dev/null; done
}
ours_add() { expect "$listed" "$ours" add "$work/mixed"; }

# 12 files of music.
songs=12
mkdir -p "$work/songs" "$work/out-lib" "$work/out-win" "$work/out-tool"
bench_music "$work/songs/00.wav" "$secs"
for ((i = 1; i < songs; i++)); do cp "$work/songs/00.wav" "$work/songs/$(printf '%02d' "$i").wav"; done
cat "$work"/songs/* >/dev/null
library() { rm -rf "$work/out-lib"/*; expect "$songs" "$ours" convert "$1" "$work/songs" "$work/out-lib"; }
in_window() { rm -rf "$work/out-win"/*; expect "$songs" "$window" window-convert "$1" "$work/songs" "$work/out-win"; }
flac_all() {
  local f
  for f in "$work"/songs/*.wav; do flac -s -f -5 -o "$work/out-tool/$(basename "$f" .wav).flac" "$f"; done
}
lame_all() {
  local f
  for f in "$work"/songs/*.wav; do lame --quiet -m s --nores --noreplaygain -b 160 "$f" "$work/out-tool/$(basename "$f" .wav).mp3"; done
}

start_empty() { expect 0 "$window" start; }
start_listing() { expect "$listed" "$window" start "$work/mixed"; }
empty_program() { "$empty"; }
loaded_only() { "$window" loaded; }

row() {  # label, ours, theirs
  printf '%-36s %s  vs %-22s %s  ratio %s\n' "$1" "$(bench_time "$2")" "$3" "$(bench_time "$3")" "$(bench_ratio "$2" "$3")"
}
printf 'median [min-max] of %d alternating runs after a warm-up, wall clock of whole processes\n\n' "$runs"

if [[ $which == add || $which == all ]]; then
  mixed_folder
  bench_alternate ours_add ffprobe_all
  row "add 1,000 files ($listed listed)" ours_add ffprobe_all
fi

if [[ $which == convert || $which == all ]]; then
  bench_alternate library:flac flac_all library:mp3 lame_all
  row "$songs x $secs s to FLAC -5, library" library:flac flac_all
  row "$songs x $secs s to MP3 160k, library" library:mp3 lame_all
fi

if [[ $which == window || $which == all ]]; then
  for format in flac mp3; do
    tool=flac_all
    [[ $format == mp3 ]] && tool=lame_all
    bench_alternate in_window:$format library:$format $tool
    row "$songs x $secs s to ${format^^}, window" in_window:$format library:$format
    row "$songs x $secs s to ${format^^}, window" in_window:$format $tool
    row "$songs x $secs s to ${format^^}, library" library:$format $tool
  done
fi

if [[ $which == start || $which == all ]]; then
  mixed_folder
  bench_alternate start_empty empty_program loaded_only start_listing
  row "start to idle, empty settings" start_empty empty_program
  row "start to idle, empty settings" start_empty loaded_only
  row "the program's loading alone" loaded_only empty_program
  row "start to idle, 1,000 files listed" start_listing start_empty
  awk -v a="${bench_med[start_listing]}" -v b="${bench_med[start_empty]}" \
    'BEGIN { printf "%-36s %+.3f s\n", "the 1,000 files add", a - b }'
fi

# The results must be right, or the times mean nothing.
check() {  # runner, output folder
  "$1" flac >/dev/null
  flac -s -t "$work/$2"/*.flac && echo "check: $1's FLAC files pass flac -t"
  "$1" mp3 >/dev/null
  lame --quiet -m s --nores --noreplaygain -b 160 "$work/songs/00.wav" "$work/out-tool/00.mp3"
  printf "check: %s's MP3 file %d bytes, lame's %d bytes\n" "$1" "$(stat -c %s "$work/$2/00.mp3")" \
    "$(stat -c %s "$work/out-tool/00.mp3")"
}
[[ $which == convert || $which == window || $which == all ]] && check library out-lib
[[ $which == window || $which == all ]] && check in_window out-win
exit 0
