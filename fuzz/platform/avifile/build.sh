#!/usr/bin/env bash
# Builds the libFuzzer target of the AVI header parser, makes seeds from AVI files
# ffmpeg writes and runs it. Usage: build.sh [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "${here%/fuzz/*}/fuzz/common.sh"
fuzz_require clang++ ffmpeg

fuzz_build FuzzAviHeader "$root/platform/avifile/AviHeader.cpp"

seeds=$(fuzz_seeds FuzzAviHeader)
for c in pcm_s16le adpcm_ms libmp3lame; do
  ffmpeg -v error -y -f lavfi -i testsrc=size=16x16:rate=5 -f lavfi -i sine=f=300:r=11025 -t 0.4 \
    -c:v mjpeg -c:a "$c" -shortest "$out/$c.avi"
  head -c 8192 "$out/$c.avi" >"$seeds/$c"
done
ffmpeg -v error -y -f lavfi -i sine=f=300:r=8000 -t 0.2 -c:a pcm_u8 "$out/audio.avi"
head -c 4096 "$out/audio.avi" >"$seeds/audio-only"

fuzz_run_each 16384 FuzzAviHeader
