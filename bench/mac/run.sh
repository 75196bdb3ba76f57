#!/usr/bin/env bash
# Speed and size of libMACDll.so: encoding and decoding at levels 2000 and 4000 (times
# real time), against flac -8 on the same 60-second 16-bit stereo file (tones, chords
# and noise, made with sox). Run by hand; not part of the test suite.
# Usage: bench/mac/run.sh [runs per measurement, default 5]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build-mac-bench}"
runs="${1:-5}"
work="$(mktemp -d "${TMPDIR:-/tmp}/mac-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT

for tool in cmake ninja g++ sox flac ffmpeg; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done

# The library as the project builds it (release flags), and the driver beside it.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target MACDll >/dev/null
g++ -std=c++20 -O2 -I"$root" "$root/bench/mac/MACBench.cpp" -ldl -o "$build/bin/MACBench"
ours="$build/bin/MACBench"

# Music-like source: a chord and a bass line with vibrato, pink and brown noise, a
# tremolo and some reverberation, 60 s at 44.1 kHz.
src="$work/music.wav"
sox -n -r 44100 -b 16 -c 2 "$src" synth 60 \
  sine 220-233 sine 277 sine 330 pinknoise sine 110 brownnoise \
  remix 1v0.3,2v0.25,4v0.15,5v0.3 3v0.3,2v0.2,6v0.2,5v0.3 \
  tremolo 4 35 reverb 40 norm -1
seconds=$(soxi -D "$src")
sox "$src" -t s16 "$work/src.raw"
rawsize=$(stat -c %s "$work/src.raw")

# Median wall time of a command, in seconds.
timeit() {
  local t=()
  for ((i = 0; i < runs; i++)); do
    local s e
    s=$(date +%s%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s%N)
    t+=($(( e - s )))
  done
  printf '%s\n' "${t[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.4f", a[int((NR+1)/2)]/1e9}'
}

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
