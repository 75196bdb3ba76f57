#!/usr/bin/env bash
# Builds the libFuzzer targets of libMACDll.so's decoder straight from the library's
# sources, makes a small seed corpus with the library's own encoder, and runs each.
# Usage: build.sh [seconds per target]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "${here%/fuzz/*}/fuzz/common.sh"
fuzz_require clang++ pkg-config

lib="$root/platform/codecs/mac"
read -r -a ffmpeg <<<"$(pkg-config --cflags --libs libavformat libavcodec libavutil)"

fuzz_build FuzzAPEHeader "$lib/APEHeader.cpp" "$lib/APETags.cpp"
fuzz_build FuzzAPEDecompress "$lib/APEDecompress.cpp" "$lib/APEHeader.cpp" "${ffmpeg[@]}"
clang++ -std=c++20 -O1 -I"$root" "$here/MakeSeeds.cpp" "$lib/APECompress.cpp" "$lib/APEEncoder.cpp" \
  "$lib/APEHeader.cpp" "$lib/APETags.cpp" "${ffmpeg[@]}" -o "$out/MakeSeeds"

# Seeds: short files of every width and channel count, tagged and not, and a few cut.
all=$(fuzz_seeds all)
"$out/MakeSeeds" "$all"
head -c 200 "$all/s16-2-1000.ape" >"$all/cut-head.ape"
head -c 1000 "$all/s24-2-5000.ape" >"$all/cut-frame.ape"
for t in FuzzAPEHeader FuzzAPEDecompress; do
  seeds=$(fuzz_seeds $t)
  cp "$all"/* "$seeds"
done

fuzz_run_each 16384 FuzzAPEHeader FuzzAPEDecompress
