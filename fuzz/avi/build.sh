#!/usr/bin/env bash
# Builds the libFuzzer target of the AVI header parser with clang (ASan and UBSan),
# makes seeds from AVI files ffmpeg writes and runs the target.
# Usage: fuzz/avi/build.sh [seconds]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${FUZZ_OUT:-$root/build-fuzz-avi}"
seconds="${1:-20}"
mkdir -p "$out"
. "$root/fuzz/common.sh"
fuzz_require clang++ ffmpeg

echo "== building FuzzAviHeader"
clang++ "${fuzz_flags[@]}" "$root/fuzz/avi/FuzzAviHeader.cpp" "$root/platform/avifile/AviHeader.cpp" -o "$out/FuzzAviHeader"

seeds="$out/seeds/FuzzAviHeader"
rm -rf "$seeds"
mkdir -p "$seeds"
for c in pcm_s16le adpcm_ms libmp3lame; do
  ffmpeg -v error -y -f lavfi -i testsrc=size=16x16:rate=5 -f lavfi -i sine=f=300:r=11025 -t 0.4 \
    -c:v mjpeg -c:a "$c" -shortest "$out/$c.avi"
  head -c 8192 "$out/$c.avi" >"$seeds/$c"
done
ffmpeg -v error -y -f lavfi -i sine=f=300:r=8000 -t 0.2 -c:a pcm_u8 "$out/audio.avi"
head -c 4096 "$out/audio.avi" >"$seeds/audio-only"

mkdir -p "$out/corpus"
echo "== running FuzzAviHeader for ${seconds}s"
fuzz_run FuzzAviHeader 16384 corpus "$seeds" || exit 1
grep -E "stat::number_of_executed_units" "$out/FuzzAviHeader.log" | tail -1
