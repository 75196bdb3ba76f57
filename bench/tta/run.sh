#!/usr/bin/env bash
# Speed and size of our True Audio encoder and decoder against ffmpeg's, on the same
# 60-second 16-bit stereo file (tones, chords and noise, made with sox). Both decoders
# check the frame CRCs. Every contender is a whole process timed from outside, run in
# turn (ABAB); median and [min-max] of the runs. Run by hand; not part of the test suite.
# Usage: bench/tta/run.sh [runs per measurement, default 7]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build-bench-tta}"
runs="${1:-7}"
source "$root/bench/common.sh"
work="$(mktemp -d "${TMPDIR:-/tmp}/tta-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT

bench_require cmake ninja g++ sox ffmpeg

# The library as the project builds it (release flags), and the driver beside it.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j4 --target TTALib >/dev/null
g++ -std=c++20 -O2 -I"$root" "$root/bench/tta/TTABench.cpp" -ldl -o "$build/bin/TTABench"
ours="$build/bin/TTABench"

src="$work/music.wav"
bench_music "$src" 60
seconds=$(soxi -D "$src")
sox "$src" -t s16 "$work/src.raw"

ff_enc() { ffmpeg -nostdin -v error -y -i "$src" -c:a tta -fflags +bitexact -map_metadata -1 "$work/ffmpeg.tta"; }
ff_dec() { ffmpeg -nostdin -v error -err_detect crccheck -y -i "$work/ffmpeg.tta" -c:a pcm_s16le "$work/ffmpeg.wav"; }
our_enc() { "$ours" enc "$src" "$work/ours.tta"; }
our_dec() { "$ours" dec "$work/ours.tta" "$work/ours.wav"; }
bench_alternate ff_enc our_enc
bench_alternate ff_dec our_dec

# Both decoders must give the source back, and each must read the other's file.
check() { sox "$1" -t s16 - | cmp -s - "$work/src.raw" && echo ok || echo MISMATCH; }
"$ours" dec "$work/ffmpeg.tta" "$work/cross-ours.wav"
ffmpeg -v error -y -i "$work/ours.tta" -c:a pcm_s16le "$work/cross-ffmpeg.wav"

size_ff=$(stat -c %s "$work/ffmpeg.tta")
size_ours=$(stat -c %s "$work/ours.tta")
size_wav=$(stat -c %s "$src")

printf 'source: %.1f s of 16-bit stereo, %d bytes WAV; median [min-max] of %d runs, whole processes\n\n' \
  "$seconds" "$size_wav" "$runs"
for c in ff_enc our_enc ff_dec our_dec; do
  case $c in ff_enc) n="encode ffmpeg" ;; our_enc) n="encode ours" ;; ff_dec) n="decode ffmpeg" ;; our_dec) n="decode ours" ;; esac
  printf '%-14s %s %s x real time\n' "$n" "$(bench_time $c)" "$(bench_xrt $c "$seconds")"
done
printf '\nratio ours / ffmpeg: encode %s, decode %s\n' "$(bench_ratio our_enc ff_enc)" "$(bench_ratio our_dec ff_dec)"
awk -v zf="$size_ff" -v zo="$size_ours" -v zw="$size_wav" 'BEGIN {
  printf "size: ffmpeg %d bytes (%.2f%% of WAV), ours %d bytes (%.2f%% of WAV), ours/ffmpeg %+.3f%%\n",
         zf, 100 * zf / zw, zo, 100 * zo / zw, 100 * (zo - zf) / zf
}'
echo "round trips: ours->ours $(check "$work/ours.wav"), ffmpeg->ours $(check "$work/cross-ours.wav"), ours->ffmpeg $(check "$work/cross-ffmpeg.wav"), ffmpeg->ffmpeg $(check "$work/ffmpeg.wav")"
cmp -s "$work/ours.tta" "$work/ffmpeg.tta" && echo "our file is byte-identical to ffmpeg's" || true
