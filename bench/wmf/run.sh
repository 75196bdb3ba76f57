#!/usr/bin/env bash
# Decoding speed of the Windows Media reader through the pipeline against ffmpeg
# decoding the same file, on a music-like source (sox) encoded by lame (MP3, VBR -V 2)
# and by ffmpeg (WMA 2, 192 kbit/s). Our side writes raw PCM from an output's worker
# thread; ffmpeg writes raw PCM and WAV. Best wall time of N runs, whole processes.
#   cold: our process opens the file, measures its exact length and converts it
#   warm: the conversion run alone, the file measured before (as when the application
#         lists the file, then converts it)
# Usage: bench/wmf/run.sh [seconds of audio, default 600] [runs, default 5]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BENCH_BUILD:-$root/build-bench-wmf}"
secs="${1:-600}"
runs="${2:-5}"
for tool in cmake ninja sox lame ffmpeg; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target bench_wmf >/dev/null
ours="$build/bin/bench_wmf"

work="$(mktemp -d "${TMPDIR:-/tmp}/wmf-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
sox -D -n -r 44100 -b 16 -c 2 "$work/src.wav" synth "$secs" \
  sine 220-233 sine 277 sine 330 pinknoise sine 110 brownnoise \
  remix 1v0.3,2v0.25,4v0.15,5v0.3 3v0.3,2v0.2,6v0.2,5v0.3 tremolo 4 35 norm -1
lame --quiet -V 2 "$work/src.wav" "$work/in.mp3"
ffmpeg -nostdin -v error -y -i "$work/src.wav" -c:a wmav2 -b:a 192k "$work/in.wma"

now() { date +%s.%N; }
best() { sort -g | head -n1; }
wall() { local t0 t1; t0=$(now); "$@" >/dev/null 2>&1; t1=$(now); awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}'; }

declare -A t
for f in mp3 wma; do
  cat "$work/in.$f" >/dev/null
  for _ in $(seq "$runs"); do
    t[${f}_ff_raw]+="$(wall ffmpeg -nostdin -v error -threads 1 -i "$work/in.$f" -f s16le -y "$work/ff.raw") "
    t[${f}_ff_wav]+="$(wall ffmpeg -nostdin -v error -threads 1 -i "$work/in.$f" -y "$work/ff.wav") "
    t0=$(now)
    read -r open run bytes < <("$ours" "$work/in.$f" "$work/ours.raw")
    t1=$(now)
    cold=$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')
    t[${f}_cold]+="$cold "
    t[${f}_warm]+="$(awk -v c="$cold" -v o="$open" 'BEGIN{print c-o}') "
  done
  cmp -s "$work/ours.raw" "$work/ff.raw" && same=identical || same=DIFFERENT
  echo "$f: our PCM and ffmpeg's are $same ($(stat -c %s "$work/ours.raw") bytes)"
done

printf '\nsource: %d s of 16-bit stereo 44.1 kHz; best wall time of %d runs\n' "$secs" "$runs"
printf '%-28s %9s %13s %14s %14s\n' "" "seconds" "x real time" "ours/ffmpeg raw" "ours/ffmpeg wav"
for f in mp3 wma; do
  fr=$(printf '%s\n' ${t[${f}_ff_raw]} | best)
  fw=$(printf '%s\n' ${t[${f}_ff_wav]} | best)
  for k in ff_raw ff_wav cold warm; do
    v=$(printf '%s\n' ${t[${f}_$k]} | best)
    awk -v n="$f $k" -v s="$v" -v d="$secs" -v fr="$fr" -v fw="$fw" \
      'BEGIN{printf "%-28s %9.3f %13.1f %14.3f %14.3f\n", n, s, d / s, s / fr, s / fw}'
  done
done
