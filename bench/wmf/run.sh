#!/usr/bin/env bash
# Decoding speed of the Windows Media reader through the pipeline against ffmpeg
# decoding the same file, on a music-like source (sox) encoded by lame (MP3, VBR -V 2)
# and by ffmpeg (WMA 2, 192 kbit/s). Our side writes raw PCM from an output's worker
# thread; ffmpeg writes raw PCM and WAV, with one thread as ours. Our process also
# opens the file first, as the application does when it lists the file (an MP3 file is
# measured there; a WMA file's frames are counted by the run's decode). Every contender
# is a whole process timed from outside, run in turn (ABAB); median and [min-max] of
# the runs.
# Usage: bench/wmf/run.sh [seconds of audio, default 600] [runs, default 5]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BENCH_BUILD:-$root/build-bench-wmf}"
secs="${1:-600}"
runs="${2:-5}"
source "$root/bench/common.sh"
bench_require cmake ninja sox lame ffmpeg
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

ff_raw() { ffmpeg -nostdin -v error -threads 1 -i "$work/in.$1" -f s16le -y "$work/ff.raw"; }
ff_wav() { ffmpeg -nostdin -v error -threads 1 -i "$work/in.$1" -y "$work/ff.wav"; }
ours() { "$ours" "$work/in.$1" "$work/ours.raw"; }
for f in mp3 wma; do
  bench_alternate ff_raw:$f ours:$f ff_wav:$f
  cmp -s "$work/ours.raw" "$work/ff.raw" && same=identical || same=DIFFERENT
  echo "$f: our PCM and ffmpeg's are $same ($(stat -c %s "$work/ours.raw") bytes)"
done

printf '\nsource: %d s of 16-bit stereo 44.1 kHz; median [min-max] of %d runs, whole processes\n' "$secs" "$runs"
printf '%-16s %-26s %13s %16s %16s\n' "" "seconds" "x real time" "ours/ffmpeg raw" "ours/ffmpeg wav"
for f in mp3 wma; do
  for k in ff_raw ff_wav ours; do
    c=$k:$f
    printf '%-16s %-26s %13s %16s %16s\n' "$f $k" "$(bench_time $c)" "$(bench_xrt $c "$secs")" \
      "$(bench_ratio $c ff_raw:$f)" "$(bench_ratio $c ff_wav:$f)"
  done
done
