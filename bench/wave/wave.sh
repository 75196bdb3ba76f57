#!/usr/bin/env bash
# WAV 16-bit stereo 44.1 kHz -> IMA ADPCM WAV: our pipeline (TWaveIn -> TWaveOut on
# the worker thread) against `ffmpeg -c:a adpcm_ima_wav` on the same cached file,
# both with 512-byte blocks (the application's setting). Both are whole processes
# timed from outside, run in turn (ABAB); median and [min-max] of the runs, and times
# real time.
# Usage: bench/wave/wave.sh [minutes, default 10] [runs, default 7]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
minutes=${1:-10}
runs=${2:-7}
source "$root/bench/common.sh"
bench_require cmake ninja sox ffmpeg
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" --target bench_wave >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
src=$tmp/src.wav
seconds=$((minutes * 60))
# Music-like content: two sweeping tones and some noise, different per channel.
sox -n -r 44100 -c 2 -b 16 "$src" synth "$seconds" sine 200-3000 sine 300-5000 synth "$seconds" \
  pinknoise mix vol 0.5 2>/dev/null

ours() { "$build/bin/bench_wave" "$src" "$tmp/ours.wav" ima 512; }
theirs() { ffmpeg -nostdin -v error -threads 1 -y -i "$src" -c:a adpcm_ima_wav -block_size 512 "$tmp/ffmpeg.wav"; }
bench_alternate ours theirs

printf 'WAV 16-bit stereo 44.1 kHz, %d min, to IMA ADPCM (512-byte blocks); median [min-max] of %d runs, whole processes\n' \
  "$minutes" "$runs"
row() { printf '%-28s %s %s x real time\n' "$1" "$(bench_time "$2")" "$(bench_xrt "$2" "$seconds")"; }
row "ours (TWaveIn -> TWaveOut)" ours
row "ffmpeg adpcm_ima_wav" theirs
printf 'ratio ours / ffmpeg %s; output sizes: ours %s bytes, ffmpeg %s bytes\n' "$(bench_ratio ours theirs)" \
  "$(stat -c %s "$tmp/ours.wav")" "$(stat -c %s "$tmp/ffmpeg.wav")"
