#!/usr/bin/env bash
# Musepack speed through the pipeline against the reference tools, on the same
# music-like 16-bit stereo 44.1 kHz file (made with sox):
#   encode: MPCBench enc (WAV input -> TMPCOut -> libmppenc -> mpcenc)  vs  mpcenc alone
#   decode: MPCBench dec (TMPCIn -> libmpdec -> raw file)                vs  mpcdec -r
# Both sides run as whole processes, same quality, same files; median wall time.
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
cat "$src" >/dev/null


ref_enc() { mpcenc --silent --overwrite --quality "$quality" "$src" "$work/ref.mpc"; }
our_enc() { "$ours" enc "$src" "$work/ours.mpc" "$quality"; }
ref_dec() { mpcdec -r "$work/ref.mpc" "$work/ref.raw"; }
our_dec() { "$ours" dec "$work/ref.mpc" "$work/ours.raw"; }

# Interleaved, so that a change in the machine's load hits both sides alike.
t_ref_enc=$(timeit ref_enc)
t_our_enc=$(timeit our_enc)
t_ref_enc2=$(timeit ref_enc)
t_our_enc2=$(timeit our_enc)
t_ref_dec=$(timeit ref_dec)
t_our_dec=$(timeit our_dec)
t_ref_dec2=$(timeit ref_dec)
t_our_dec2=$(timeit our_dec)

same_stream=$(cmp -s "$work/ref.mpc" "$work/ours.mpc" && echo "identical" || echo "DIFFERENT")
same_length=$([ "$(stat -c %s "$work/ref.raw")" = "$(stat -c %s "$work/ours.raw")" ] && echo "same length" || echo "LENGTHS DIFFER")

awk -v s="$secs" -v q="$quality" \
  -v re="$t_ref_enc" -v oe="$t_our_enc" -v re2="$t_ref_enc2" -v oe2="$t_our_enc2" \
  -v rd="$t_ref_dec" -v od="$t_our_dec" -v rd2="$t_ref_dec2" -v od2="$t_our_dec2" \
  -v ss="$same_stream" -v sl="$same_length" 'BEGIN {
  re = (re < re2) ? re : re2; oe = (oe < oe2) ? oe : oe2
  rd = (rd < rd2) ? rd : rd2; od = (od < od2) ? od : od2
  printf "%d s of 16-bit stereo 44.1 kHz, quality %.1f, median wall time of the better of two rounds\n", s, q
  printf "encode  mpcenc alone   %7.3f s  (%6.1fx real time)\n", re, s / re
  printf "        our pipeline   %7.3f s  (%6.1fx real time)   ours / mpcenc = %.3f  (limit 1.05)  streams %s\n", oe, s / oe, oe / re, ss
  printf "decode  mpcdec -r      %7.3f s  (%6.1fx real time)\n", rd, s / rd
  printf "        our pipeline   %7.3f s  (%6.1fx real time)   ours / mpcdec = %.3f  (limit 1.00)  output %s\n", od, s / od, od / rd, sl
}'
