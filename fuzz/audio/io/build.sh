#!/usr/bin/env bash
# Builds the WAV reader's libFuzzer target (RIFF scan, ADPCM decoders, the compressed
# payload path), makes seeds of every kind the reader takes with sox and ffmpeg, and
# runs it. Usage: build.sh [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "${here%/fuzz/*}/fuzz/common.sh"
fuzz_require clang++ pkg-config sox ffmpeg

read -r -a codecs <<<"$(pkg-config --cflags --libs soxr libavcodec libavutil)"
fuzz_build FuzzWaveIn "$root/audio/io/TSL_Wave.cpp" "$root/audio/io/TSL_Adpcm.cpp" \
  "$root/audio/io/WaveConverter.cpp" "$root"/audio/core/*.cpp "$root"/platform/acm/*.cpp \
  "$root"/platform/ffmpeg/*.cpp "$root"/platform/rtl/*.cpp "${codecs[@]}" -lpthread -ldl

seeds=$(fuzz_seeds FuzzWaveIn)
src="$out/src.wav"
sox -n -r 8000 -c 2 -b 16 "$src" synth 0.05 sine 300-2000 sine 500 2>/dev/null
sox "$src" "$seeds/pcm16.wav"
sox "$src" -c 1 -b 8 "$seeds/pcm8.wav"
sox "$src" -b 24 "$seeds/ext24.wav"
sox "$src" -e floating-point -b 32 "$seeds/float32.wav"
sox "$src" -e floating-point -b 64 "$seeds/float64.wav"
sox "$src" -e ima-adpcm "$seeds/ima-sox.wav"
sox "$src" -c 1 -e ms-adpcm "$seeds/ms-sox.wav"
sox "$src" -e a-law "$seeds/alaw.wav"
sox "$src" -c 1 -e gsm-full-rate "$seeds/gsm.wav"
ffmpeg -nostdin -v error -y -i "$src" -c:a adpcm_ima_wav -block_size 64 "$seeds/ima-ff.wav"
ffmpeg -nostdin -v error -y -i "$src" -c:a adpcm_ms -block_size 64 "$seeds/ms-ff.wav"
ffmpeg -nostdin -v error -y -i "$src" -ac 1 -c:a libmp3lame -b:a 32k -f wav "$seeds/mp3.wav"

fuzz_run_each 16384 FuzzWaveIn
