#!/usr/bin/env bash
# Speed and size of libMACDll.so: encoding and decoding at levels 2000 and 4000 (times
# real time), against flac -8 on the same 60-second 16-bit stereo file (tones, chords
# and noise, made with sox). Run by hand; not part of the test suite.
# Usage: bench/mac/run.sh [runs per measurement, default 5]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build-mac-bench}"
runs="${1:-5}"
source "$root/bench/common.sh"
work="$(mktemp -d "${TMPDIR:-/tmp}/mac-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT

bench_require cmake ninja g++ sox flac ffmpeg

# The library as the project builds it (release flags), and the driver beside it.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target MACDll >/dev/null
g++ -std=c++20 -O2 -I"$root" "$root/bench/mac/MACBench.cpp" -ldl -o "$build/bin/MACBench"
ours="$build/bin/MACBench"

src="$work/music.wav"
bench_music "$src" 60
seconds=$(soxi -D "$src")
sox "$src" -t s16 "$work/src.raw"
rawsize=$(stat -c %s "$work/src.raw")


flac_enc() { flac -8 -s -f -o "$work/music.flac" "$src"; }
flac_dec() { flac -d -s -f -o "$work/flac.wav" "$work/music.flac"; }
t_flac_enc=$(timeit flac_enc)
t_flac_dec=$(timeit flac_dec)
size_flac=$(stat -c %s "$work/music.flac")
printf 'source: %.1f s of 16-bit stereo, %d bytes of PCM; median of %d runs, wall clock\n\n' "$seconds" "$rawsize" "$runs"
printf '%-22s %9s %9s %9s %9s %12s\n' "" "enc s" "enc xRT" "dec s" "dec xRT" "size"
awk -v s="$seconds" -v e="$t_flac_enc" -v d="$t_flac_dec" -v z="$size_flac" -v w="$rawsize" \
  'BEGIN { printf "%-22s %9.4f %9.1f %9.4f %9.1f %12d (%.2f%% of PCM)\n", "flac -8", e, s / e, d, s / d, z, 100 * z / w }'

for level in 2000 4000; do
  ape="$work/music-$level.ape"
  our_enc() { "$ours" enc "$level" 16 2 44100 "$work/src.raw" "$ape"; }
  our_dec() { "$ours" dec "$ape" "$work/dec.raw"; }
  t_enc=$(timeit our_enc)
  t_dec=$(timeit our_dec)
  size=$(stat -c %s "$ape")
  check=$(cmp -s "$work/dec.raw" "$work/src.raw" && echo ok || echo MISMATCH)
  ff=$(ffmpeg -nostdin -v error -err_detect crccheck -i "$ape" -f s16le - | cmp -s - "$work/src.raw" && echo ok || echo MISMATCH)
  awk -v s="$seconds" -v e="$t_enc" -v d="$t_dec" -v z="$size" -v w="$rawsize" -v f="$size_flac" -v l="$level" \
    'BEGIN { printf "%-22s %9.4f %9.1f %9.4f %9.1f %12d (%.2f%% of PCM, %+.2f%% vs flac -8)\n", "MACDll level " l, e, s / e, d, s / d, z, 100 * z / w, 100 * (z - f) / f }'
  echo "  round trip: our decoder $check, ffmpeg $ff"
done
