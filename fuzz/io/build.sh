#!/bin/sh
# Builds the WAV reader fuzz target (RIFF scan, ADPCM decoders, the compressed
# payload path) and runs it briefly.
# Usage: fuzz/io/build.sh [seconds]   (default 20)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out="$root/build-fuzz-io"
seconds=${1:-20}
mkdir -p "$out/corpus" "$out/seeds"

# shellcheck disable=SC2046
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" $(pkg-config --cflags soxr libavcodec libavutil) \
  "$here/WaveFuzz.cpp" \
  "$root/audio/io/TSL_Wave.cpp" \
  "$root/audio/io/TSL_Adpcm.cpp" \
  "$root/audio/io/WaveConverter.cpp" \
  "$root"/audio/core/*.cpp \
  "$root"/platform/acm/*.cpp \
  "$root"/platform/rtl/*.cpp \
  $(pkg-config --libs soxr libavcodec libavutil) -lpthread -ldl \
  -o "$out/wave_fuzz"

# Seeds: small files of every kind the reader takes, made by sox and ffmpeg.
if command -v sox >/dev/null && command -v ffmpeg >/dev/null; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  sox -n -r 8000 -c 2 -b 16 "$tmp/src.wav" synth 0.05 sine 300-2000 sine 500 2>/dev/null
  sox "$tmp/src.wav" "$out/seeds/pcm16.wav"
  sox "$tmp/src.wav" -c 1 -b 8 "$out/seeds/pcm8.wav"
  sox "$tmp/src.wav" -b 24 "$out/seeds/ext24.wav"
  sox "$tmp/src.wav" -e floating-point -b 32 "$out/seeds/float32.wav"
  sox "$tmp/src.wav" -e floating-point -b 64 "$out/seeds/float64.wav"
  sox "$tmp/src.wav" -e ima-adpcm "$out/seeds/ima-sox.wav"
  sox "$tmp/src.wav" -c 1 -e ms-adpcm "$out/seeds/ms-sox.wav"
  sox "$tmp/src.wav" -e a-law "$out/seeds/alaw.wav"
  sox "$tmp/src.wav" -c 1 -e gsm-full-rate "$out/seeds/gsm.wav"
  ffmpeg -nostdin -v error -y -i "$tmp/src.wav" -c:a adpcm_ima_wav -block_size 64 "$out/seeds/ima-ff.wav"
  ffmpeg -nostdin -v error -y -i "$tmp/src.wav" -c:a adpcm_ms -block_size 64 "$out/seeds/ms-ff.wav"
  ffmpeg -nostdin -v error -y -i "$tmp/src.wav" -ac 1 -c:a libmp3lame -b:a 32k -f wav "$out/seeds/mp3.wav"
fi

"$out/wave_fuzz" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  "$out/corpus" "$out/seeds"
