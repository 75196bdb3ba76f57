#!/usr/bin/env bash
# Musepack speed through the pipeline against the reference tools, on the same
# music-like 16-bit stereo 44.1 kHz file (made with sox):
#   encode: MPCBench enc (WAV input -> TMPCOut -> libmppenc -> mpcenc)  vs  mpcenc alone
#   decode: MPCBench dec (TMPCIn -> libmpdec -> raw file)                vs  mpcdec -r
# Both sides run as whole processes timed from outside, in turn (ABAB), same quality,
# same files; median and [min-max] of the runs.
# Usage: bench/mpc/run.sh [seconds of audio, default 180] [runs, default 7]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build-bench-mpc}"
secs="${1:-180}"
runs="${2:-7}"
source "$root/bench/common.sh"
quality=5
work="$(mktemp -d "${TMPDIR:-/tmp}/mpc-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT

bench_require cmake ninja g++ sox mpcenc mpcdec

# The components and libraries as the project builds them (release flags), and the
# driver beside the libraries, which it loads from its own folder.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target codec_mpc mpdec mppenc >/dev/null
g++ -std=c++20 -O2 -I"$root" "$root/bench/mpc/MPCBench.cpp" \
  "$build/audio/codecs/mpc/libcodec_mpc.a" "$build/audio/core/libaudio_core.a" \
  "$build/platform/rtl/librtl.a" -pthread -ldl -o "$build/bin/MPCBench"
ours="$build/bin/MPCBench"

src="$work/music.wav"
bench_music "$src" "$secs"

ref_enc() { mpcenc --silent --overwrite --quality "$quality" "$src" "$work/ref.mpc"; }
our_enc() { "$ours" enc "$src" "$work/ours.mpc" "$quality"; }
ref_dec() { mpcdec -r "$work/ref.mpc" "$work/ref.raw"; }
our_dec() { "$ours" dec "$work/ref.mpc" "$work/ours.raw"; }
bench_alternate ref_enc our_enc
bench_alternate ref_dec our_dec

same_stream=$(cmp -s "$work/ref.mpc" "$work/ours.mpc" && echo "identical" || echo "DIFFERENT")
same_length=$([ "$(stat -c %s "$work/ref.raw")" = "$(stat -c %s "$work/ours.raw")" ] && echo "same length" || echo "LENGTHS DIFFER")

printf '%d s of 16-bit stereo 44.1 kHz, quality %.1f; median [min-max] of %d runs, whole processes\n' \
  "$secs" "$quality" "$runs"
printf 'encode  mpcenc alone   %s (%s x real time)\n' "$(bench_time ref_enc)" "$(bench_xrt ref_enc "$secs")"
printf '        our pipeline   %s (%s x real time)   ours / mpcenc = %s  streams %s\n' "$(bench_time our_enc)" \
  "$(bench_xrt our_enc "$secs")" "$(bench_ratio our_enc ref_enc)" "$same_stream"
printf 'decode  mpcdec -r      %s (%s x real time)\n' "$(bench_time ref_dec)" "$(bench_xrt ref_dec "$secs")"
printf '        our pipeline   %s (%s x real time)   ours / mpcdec = %s  output %s\n' "$(bench_time our_dec)" \
  "$(bench_xrt our_dec "$secs")" "$(bench_ratio our_dec ref_dec)" "$same_length"
