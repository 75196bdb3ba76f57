#!/usr/bin/env bash
# Builds the libFuzzer targets of the TTA decoder with clang (ASan and UBSan) straight
# from the library's sources, makes a small seed corpus with sox, ffmpeg and our own
# encoder, and runs each target for about 20 seconds.
# Usage: fuzz/tta/build.sh [seconds per target]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${FUZZ_OUT:-$root/build-fuzz-tta}"
seconds="${1:-20}"
mkdir -p "$out"

. "$root/fuzz/common.sh"
fuzz_require clang++ sox ffmpeg

lib="$root/platform/codecs/tta"
sources=("$lib/TTACodec.cpp" "$lib/TTAFile.cpp" "$lib/TTALib.cpp")
flags=("${fuzz_flags[@]}" -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
targets=(FuzzTTAFile FuzzTTAFrame)

for t in "${targets[@]}"; do
  echo "== building $t"
  clang++ "${flags[@]}" "$root/fuzz/tta/$t.cpp" "${sources[@]}" -o "$out/$t"
done
clang++ -std=c++20 -O1 -I"$root" "$root/fuzz/tta/MakeSeeds.cpp" "${sources[@]}" -o "$out/MakeSeeds"

# Seeds: short files of every kind, one frame or a few, tagged and not.
seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/FuzzTTAFile" "$seeds/FuzzTTAFrame" "$out/wav"
make() { # name rate bits channels seconds generators... [encoding]
  local name=$1 rate=$2 bits=$3 ch=$4 len=$5
  shift 5
  sox -n -r "$rate" -b "$bits" -c "$ch" "$out/wav/$name.wav" synth "$len" "$@"
}
make u8 2000 8 1 0.3 sine 300
make s16 1000 16 2 2.5 sine 100 pinknoise
make s24 3000 24 3 0.2 sine 200 whitenoise square 50
sox -n -r 1500 -e floating-point -b 32 -c 2 "$out/wav/f32.wav" synth 0.4 sine 200 pinknoise
for w in u8 s16 s24 f32; do
  "$out/MakeSeeds" "$out/wav/$w.wav" "$seeds/FuzzTTAFile/ours-$w.tta"
done
for w in u8 s16 s24; do
  ffmpeg -v error -y -i "$out/wav/$w.wav" -c:a tta "$seeds/FuzzTTAFile/ffmpeg-$w.tta"
done
{ printf 'ID3\x03\x00\x00\x00\x00\x00\x0a'; head -c 10 /dev/zero; cat "$seeds/FuzzTTAFile/ours-s16.tta"; } \
  >"$seeds/FuzzTTAFile/id3-s16.tta"
# frame seeds: a layout byte and a frame length, then bytes of a real frame or samples
tail -c +35 "$seeds/FuzzTTAFile/ours-u8.tta" | { printf '\x00\x2c\x01'; cat; } >"$seeds/FuzzTTAFrame/frame-u8"
head -c 2000 "$out/wav/s16.wav" | { printf '\x89\x00\x00'; cat; } >"$seeds/FuzzTTAFrame/roundtrip-s16"
head -c 2000 "$out/wav/f32.wav" | { printf '\x99\x00\x00'; cat; } >"$seeds/FuzzTTAFrame/roundtrip-f32"

fuzz_run_each 16384 "${targets[@]}"
