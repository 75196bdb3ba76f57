#!/usr/bin/env bash
# FLAC and Ogg Vorbis speed through our pipeline against the reference tools, on the
# same raw 16-bit stereo 44100 Hz file (tones, noise and reverberation made with sox):
#   encode: TRawIn -> TFLACOut level 5     vs  flac -5
#           TRawIn -> TVorbisOut q 0.5     vs  oggenc -q5
#   decode: TFLACIn -> raw file            vs  flac -d (raw output)
#           TVorbisIn -> raw file          vs  oggdec -R
# Every contender runs as its own process and is timed from the outside (wall clock,
# median of the runs). Ratios are ours / tool: below 1 means we are faster.
# Usage: bench/codecs/codecs.sh [seconds of audio, default 120] [runs, default 5]
# BENCH_BUILD names the build folder (default build-bench-codecs).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-$root/build-bench-codecs}
secs=${1:-120}
runs=${2:-5}
for tool in cmake sox flac oggenc oggdec; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" -j3 --target bench_codecs >/dev/null
ours=$build/bin/bench_codecs

work=$(mktemp -d "${TMPDIR:-/tmp}/codecs-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
src=$work/src.raw
raw="-t raw -r 44100 -c 2 -b 16 -e signed-integer"
sox -D -n $raw "$src" synth "$secs" sine 220-233 sine 277 sine 330 pinknoise sine 110 brownnoise \
  remix 1v0.3,2v0.25,4v0.15,5v0.3 3v0.3,2v0.2,6v0.2,5v0.3 tremolo 4 35 reverb 40 norm -1
cat "$src" > /dev/null
flacraw=(--force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=44100)

median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timeit() {  # median wall time of a command, in seconds
  local t=() s e
  for ((i = 0; i < runs; i++)); do
    s=$(date +%s%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s%N)
    t+=("$(awk -v a="$s" -v b="$e" 'BEGIN{print (b-a)/1e9}')")
  done
  printf '%s\n' "${t[@]}" | median
}

t_flac_enc_tool=$(timeit flac -s -f -5 "${flacraw[@]}" -o "$work/tool.flac" "$src")
t_flac_enc_ours=$(timeit "$ours" flac-enc "$src" "$work/ours.flac" 16 2 44100 5)
t_ogg_enc_tool=$(timeit oggenc -Q --raw -q5 -o "$work/tool.ogg" "$src")
t_ogg_enc_ours=$(timeit "$ours" ogg-enc "$src" "$work/ours.ogg" 16 2 44100 0.5)
t_flac_dec_tool=$(timeit flac -s -d -f --force-raw-format --endian=little --sign=signed -o "$work/tool-flac.raw" "$work/tool.flac")
t_flac_dec_ours=$(timeit "$ours" flac-dec "$work/tool.flac" "$work/ours-flac.raw")
t_ogg_dec_tool=$(timeit oggdec -Q -R -o "$work/tool-ogg.raw" "$work/tool.ogg")
t_ogg_dec_ours=$(timeit "$ours" ogg-dec "$work/tool.ogg" "$work/ours-ogg.raw")

# The results must be right, or the times mean nothing.
check() { cmp -s "$1" "$2" && echo ok || echo MISMATCH; }
flac -s -d -f --force-raw-format --endian=little --sign=signed -o "$work/ours-by-flac.raw" "$work/ours.flac"
oggdec -Q -R -o "$work/ours-by-oggdec.raw" "$work/ours.ogg"
size() { stat -c %s "$1"; }

printf 'audio: %d s of 16-bit stereo 44100 Hz (%d bytes); median of %d runs, wall clock\n\n' \
  "$secs" "$(size "$src")" "$runs"
row() {
  awk -v n="$1" -v o="$2" -v t="$3" -v d="$secs" 'BEGIN {
    printf "%-22s ours %7.3f s (%6.1f x rt)   tool %7.3f s (%6.1f x rt)   ratio %.3f\n", n, o, d / o, t, d / t, o / t }'
}
row "FLAC -5 encode" "$t_flac_enc_ours" "$t_flac_enc_tool"
row "Ogg q0.5 encode" "$t_ogg_enc_ours" "$t_ogg_enc_tool"
row "FLAC decode" "$t_flac_dec_ours" "$t_flac_dec_tool"
row "Ogg decode" "$t_ogg_dec_ours" "$t_ogg_dec_tool"
echo
printf 'sizes: FLAC ours %d, flac %d bytes; Ogg ours %d, oggenc %d bytes\n' \
  "$(size "$work/ours.flac")" "$(size "$work/tool.flac")" "$(size "$work/ours.ogg")" "$(size "$work/tool.ogg")"
echo "checks: our FLAC by flac -d $(check "$work/ours-by-flac.raw" "$src"), flac's FLAC by ours $(check "$work/ours-flac.raw" "$src"), oggenc's Ogg by ours = oggdec $(check "$work/ours-ogg.raw" "$work/tool-ogg.raw"), our Ogg by oggdec: $(size "$work/ours-by-oggdec.raw") of $(size "$src") bytes"
