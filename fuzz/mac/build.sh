#!/usr/bin/env bash
# Builds the libFuzzer targets of libMACDll.so's decoder with clang (ASan and UBSan)
# straight from the library's sources, makes a small seed corpus with the library's
# own encoder, and runs each target for about 20 seconds.
# Usage: fuzz/mac/build.sh [seconds per target]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${FUZZ_OUT:-$root/build-fuzz-mac}"
seconds="${1:-20}"
mkdir -p "$out"

. "$root/fuzz/common.sh"
fuzz_require clang++ pkg-config

lib="$root/platform/codecs/mac"
read -r -a ffmpeg <<<"$(pkg-config --cflags --libs libavformat libavcodec libavutil)"

echo "== building FuzzAPEHead"
clang++ "${fuzz_flags[@]}" "$root/fuzz/mac/FuzzAPEHead.cpp" "$lib/APEHeader.cpp" "$lib/APETags.cpp" -o "$out/FuzzAPEHead"
echo "== building FuzzAPEDecode"
clang++ "${fuzz_flags[@]}" "$root/fuzz/mac/FuzzAPEDecode.cpp" "$lib/APEDecompress.cpp" "$lib/APEHeader.cpp" \
  "${ffmpeg[@]}" -o "$out/FuzzAPEDecode"
clang++ -std=c++20 -O1 -I"$root" "$root/fuzz/mac/MakeSeeds.cpp" "$lib/APECompress.cpp" "$lib/APEEncoder.cpp" \
  "$lib/APEHeader.cpp" "$lib/APETags.cpp" "${ffmpeg[@]}" -o "$out/MakeSeeds"

# Seeds: short files of every width and channel count, tagged and not, and a few cut.
seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/all"
"$out/MakeSeeds" "$seeds/all"
head -c 200 "$seeds/all/s16-2-1000.ape" >"$seeds/all/cut-head.ape"
head -c 1000 "$seeds/all/s24-2-5000.ape" >"$seeds/all/cut-frame.ape"
for t in FuzzAPEHead FuzzAPEDecode; do
  rm -rf "$seeds/$t"
  cp -r "$seeds/all" "$seeds/$t"
done

fuzz_run_each 16384 FuzzAPEHead FuzzAPEDecode
