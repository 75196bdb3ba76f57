#!/usr/bin/env bash
# WAV 16-bit stereo 44.1 kHz -> IMA ADPCM WAV: our pipeline (TWaveIn -> TWaveOut on
# the worker thread) against `ffmpeg -c:a adpcm_ima_wav` on the same cached file,
# both with 512-byte blocks (the application's setting). Prints each as times real
# time, best of the runs.
# Usage: bench/wave/wave.sh [minutes] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
minutes=${1:-10}
runs=${2:-5}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" --target bench_wave >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
src=$tmp/src.wav
seconds=$((minutes * 60))
# Music-like content: two sweeping tones and some noise, different per channel.
sox -n -r 44100 -c 2 -b 16 "$src" synth "$seconds" sine 200-3000 sine 300-5000 synth "$seconds" \
  pinknoise mix vol 0.5 2>/dev/null
cat "$src" > /dev/null  # warm the cache for both contenders

best() { sort -g | head -n1; }
ours=() theirs=()
for _ in $(seq "$runs"); do
  ours+=("$("$build/bin/bench_wave" "$src" "$tmp/ours.wav" ima 512)")
  t0=$(date +%s.%N)
  ffmpeg -nostdin -v error -y -i "$src" -c:a adpcm_ima_wav -block_size 512 "$tmp/ffmpeg.wav"
  t1=$(date +%s.%N)
  theirs+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')")
done
o=$(printf '%s\n' "${ours[@]}" | best)
f=$(printf '%s\n' "${theirs[@]}" | best)
printf 'WAV 16-bit stereo 44.1 kHz, %d min, to IMA ADPCM (512-byte blocks), best of %d runs\n' "$minutes" "$runs"
awk -v o="$o" -v f="$f" -v s="$seconds" 'BEGIN {
  printf "ours (TWaveIn -> TWaveOut): %.3f s  %.0fx real time\n", o, s / o
  printf "ffmpeg adpcm_ima_wav:       %.3f s  %.0fx real time\n", f, s / f }'
printf 'output sizes: ours %s bytes, ffmpeg %s bytes\n' "$(stat -c %s "$tmp/ours.wav")" "$(stat -c %s "$tmp/ffmpeg.wav")"
