#!/usr/bin/env bash
# Adding files to the list of the real main window (offscreen), through its "Add files
# to the list" button and the open dialog, timed as whole processes, the contenders
# alternating: an empty folder (the window's own start and end), 1,000, 10,000 and
# 30,000 WAV files, and 10,000 mixed WAV, FLAC and MP3 files (one second of music
# each). Prints the median and spread of each, the adding alone (the median less the
# empty folder's), the 30k/10k ratio of the adding alone, and the memory per entry
# (peak resident memory after adding less before, over the entries).
#
# The WAV and FLAC names are hard links to one file each (30,000 copies would fill the
# disk); every MP3 name is a copy of its own, since the media reader remembers what it
# measured of a file by its inode.
# Usage: bench/app/list.sh [runs, default 5]
# BENCH_BUILD names the build folder (default: one below ${TMPDIR:-/tmp} for this source tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-${TMPDIR:-/tmp}/sonvix-bench-list-$(printf %s "$root" | cksum | cut -d" " -f1)}
runs=${1:-5}
source "$root/bench/common.sh"
bench_require cmake sox lame flac
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" -j4 --target bench_app lame_enc MACDll TTALib mpdec mppenc cdrip >/dev/null
ours=$build/bin/bench_app

work=$(mktemp -d "${TMPDIR:-/tmp}/list-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The window's settings and sounds stay in the work folder.
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config
mkdir -p "$work/config" "$work/base" "$work/empty"

b=$work/base
bench_music "$b/s.wav" 1
flac -s -f -o "$b/s.flac" "$b/s.wav"
lame --quiet -b 128 "$b/s.wav" "$b/s.mp3"
for n in 1000 10000 30000; do
  mkdir -p "$work/wav$n"
  for ((i = 0; i < n; i++)); do ln "$b/s.wav" "$work/wav$n/$(printf '%05d' "$i").wav"; done
done
mkdir -p "$work/mixed"
for ((i = 0; i < 10000; i++)); do
  case $((i % 3)) in
    0) ln "$b/s.wav" "$work/mixed/$(printf '%05d' "$i").wav" ;;
    1) ln "$b/s.flac" "$work/mixed/$(printf '%05d' "$i").flac" ;;
    2) cp "$b/s.mp3" "$work/mixed/$(printf '%05d' "$i").mp3" ;;
  esac
done
cat "$work"/mixed/*.mp3 >/dev/null

# "count seconds KiB-before KiB-after" of the last run of each folder.
declare -A facts=()
add() {
  local line
  line=$("$ours" window-add "$work/$1")
  facts[$1]=$line
  echo "$line"
}
# bench_alternate runs the contenders in a subshell-free loop, so facts[] is kept.
bench_alternate add:empty add:wav1000 add:wav10000 add:wav30000 add:mixed

printf 'median of %d alternating runs [lowest-highest], wall clock of whole processes\n\n' "$runs"
for f in empty wav1000 wav10000 wav30000 mixed; do
  read -r count secs rss0 rss1 <<<"${facts[$f]}"
  per=$(awk -v a="$rss0" -v b="$rss1" -v n="$count" 'BEGIN { printf "%.2f", n ? (b - a) / n : 0 }')
  adding=$(awk -v a="${bench_med[add:$f]}" -v e="${bench_med[add:empty]}" 'BEGIN { printf "%.3f", a - e }')
  printf '%-9s %6d listed %s   adding alone %7s s (in-process %6.3f s)   %s KiB per entry\n' \
    "$f" "$count" "$(bench_time "add:$f")" "$adding" "$secs" "$per"
done
awk -v a="${bench_med[add:wav30000]}" -v b="${bench_med[add:wav10000]}" -v e="${bench_med[add:empty]}" \
  'BEGIN { printf "\n30k/10k ratio of the adding alone: %.2f (linear: 3)\n", (a - e) / (b - e) }'
