#!/usr/bin/env bash
# FLAC and Ogg Vorbis speed through our pipeline against the reference tools, on the
# same raw 16-bit stereo 44100 Hz file (tones, noise and reverberation made with sox),
# each side doing the same work:
#   encode: TRawIn -> TFLACOut level 5, 4096-sample blocks  vs  flac -5 (4096 too)
#           TRawIn -> TVorbisOut q 0.5                       vs  oggenc -q5
#   decode: TFLACIn with MD5 checking -> raw file            vs  flac -d (checks MD5)
#           TVorbisIn -> raw file                            vs  oggdec -R
# Every contender runs as its own process and is timed from the outside, ours and the
# tool in turn (ABAB); median and [min-max] of the runs. Ratios are ours / tool: below 1
# means we are faster.
# Usage: bench/codecs/codecs.sh [seconds of audio, default 120] [runs, default 7]
# BENCH_BUILD names the build folder (default build-bench-codecs).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-$root/build-bench-codecs}
secs=${1:-120}
runs=${2:-7}
source "$root/bench/common.sh"
bench_require cmake sox flac oggenc oggdec
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" -j3 --target bench_codecs >/dev/null
ours=$build/bin/bench_codecs

work=$(mktemp -d "${TMPDIR:-/tmp}/codecs-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
src=$work/src.raw
bench_music "$work/src.wav" "$secs"
sox "$work/src.wav" -t raw "$src"
flacraw=(--force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=44100)

flac_enc_tool() { flac -s -f -5 "${flacraw[@]}" -o "$work/tool.flac" "$src"; }
flac_enc_ours() { "$ours" flac-enc "$src" "$work/ours.flac" 16 2 44100 5 4096; }
ogg_enc_tool() { oggenc -Q --raw -q5 -o "$work/tool.ogg" "$src"; }
ogg_enc_ours() { "$ours" ogg-enc "$src" "$work/ours.ogg" 16 2 44100 0.5; }
bench_alternate flac_enc_tool flac_enc_ours ogg_enc_tool ogg_enc_ours
flac_dec_tool() { flac -s -d -f --force-raw-format --endian=little --sign=signed -o "$work/tool-flac.raw" "$work/tool.flac"; }
flac_dec_ours() { "$ours" flac-dec "$work/tool.flac" "$work/ours-flac.raw" md5; }
ogg_dec_tool() { oggdec -Q -R -o "$work/tool-ogg.raw" "$work/tool.ogg"; }
ogg_dec_ours() { "$ours" ogg-dec "$work/tool.ogg" "$work/ours-ogg.raw"; }
bench_alternate flac_dec_tool flac_dec_ours ogg_dec_tool ogg_dec_ours

# The results must be right, or the times mean nothing.
check() { cmp -s "$1" "$2" && echo ok || echo MISMATCH; }
flac -s -d -f --force-raw-format --endian=little --sign=signed -o "$work/ours-by-flac.raw" "$work/ours.flac"
oggdec -Q -R -o "$work/ours-by-oggdec.raw" "$work/ours.ogg"
size() { stat -c %s "$1"; }

printf 'audio: %d s of 16-bit stereo 44100 Hz (%d bytes); median [min-max] of %d runs, whole processes\n\n' \
  "$secs" "$(size "$src")" "$runs"
row() {
  printf '%-16s ours %s  tool %s  ratio %s\n' "$1" "$(bench_time "$2")" "$(bench_time "$3")" "$(bench_ratio "$2" "$3")"
}
row "FLAC -5 encode" flac_enc_ours flac_enc_tool
row "Ogg q0.5 encode" ogg_enc_ours ogg_enc_tool
row "FLAC decode" flac_dec_ours flac_dec_tool
row "Ogg decode" ogg_dec_ours ogg_dec_tool
echo
printf 'sizes: FLAC ours %d, flac %d bytes; Ogg ours %d, oggenc %d bytes\n' \
  "$(size "$work/ours.flac")" "$(size "$work/tool.flac")" "$(size "$work/ours.ogg")" "$(size "$work/tool.ogg")"
echo "checks: our FLAC by flac -d $(check "$work/ours-by-flac.raw" "$src"), flac's FLAC by ours $(check "$work/ours-flac.raw" "$src"), oggenc's Ogg by ours = oggdec $(check "$work/ours-ogg.raw" "$work/tool-ogg.raw"), our Ogg by oggdec: $(size "$work/ours-by-oggdec.raw") of $(size "$src") bytes"
