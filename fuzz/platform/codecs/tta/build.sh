#!/usr/bin/env bash
# Builds the libFuzzer targets of the TTA decoder straight from the library's sources,
# makes a small seed corpus with sox, ffmpeg and our own encoder, and runs each.
# Usage: build.sh [seconds per target]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "${here%/fuzz/*}/fuzz/common.sh"
fuzz_require clang++ sox ffmpeg

lib="$root/platform/codecs/tta"
sources=("$lib/TTACodec.cpp" "$lib/TTAFile.cpp" "$lib/TTALib.cpp")
# Turns the CRC checks off, so that mutated files reach the frame decoder.
fuzz_flags+=(-DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)

fuzz_build FuzzTTAFile "${sources[@]}"
fuzz_build FuzzTTACodec "${sources[@]}"
clang++ -std=c++20 -O1 -I"$root" "$here/MakeSeeds.cpp" "${sources[@]}" -o "$out/MakeSeeds"

# Seeds: short files of every kind, one frame or a few, tagged and not.
files=$(fuzz_seeds FuzzTTAFile)
frames=$(fuzz_seeds FuzzTTACodec)
mkdir -p "$out/wav"
make() { # name rate bits channels seconds generators...
  local name=$1 rate=$2 bits=$3 ch=$4 len=$5
  shift 5
  sox -n -r "$rate" -b "$bits" -c "$ch" "$out/wav/$name.wav" synth "$len" "$@"
}
make u8 2000 8 1 0.3 sine 300
make s16 1000 16 2 2.5 sine 100 pinknoise
make s24 3000 24 3 0.2 sine 200 whitenoise square 50
sox -n -r 1500 -e floating-point -b 32 -c 2 "$out/wav/f32.wav" synth 0.4 sine 200 pinknoise
for w in u8 s16 s24 f32; do
  "$out/MakeSeeds" "$out/wav/$w.wav" "$files/ours-$w.tta"
done
for w in u8 s16 s24; do
  ffmpeg -v error -y -i "$out/wav/$w.wav" -c:a tta "$files/ffmpeg-$w.tta"
done
{ printf 'ID3\x03\x00\x00\x00\x00\x00\x0a'; head -c 10 /dev/zero; cat "$files/ours-s16.tta"; } >"$files/id3-s16.tta"
# frame seeds: a layout byte and a frame length, then bytes of a real frame or samples
tail -c +35 "$files/ours-u8.tta" | { printf '\x00\x2c\x01'; cat; } >"$frames/frame-u8"
head -c 2000 "$out/wav/s16.wav" | { printf '\x89\x00\x00'; cat; } >"$frames/roundtrip-s16"
head -c 2000 "$out/wav/f32.wav" | { printf '\x99\x00\x00'; cat; } >"$frames/roundtrip-f32"

fuzz_run_each 16384 FuzzTTAFile FuzzTTACodec
