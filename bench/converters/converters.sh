#!/usr/bin/env bash
# Converter speed, as times real time, against the reference tools on the same raw
# 16-bit stereo 44100 Hz file (pink noise), each side doing the same work:
#   44.1 -> 48 kHz: TACMConverter (soxr, very high quality)  vs  ffmpeg aresample with
#                   soxr at the same precision (28 bits), one thread
#   normalising:    TNormalizer  vs  sox ... norm (both undithered, both with a
#                   temporary file in the same folder)
# Every contender is a whole process timed from outside, run in turn (ABAB); median and
# [min-max] of the runs.
# Usage: converters.sh [seconds of audio, default 600] [runs, default 5].
# BENCH_BUILD names the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
secs=${1:-600}
runs=${2:-5}
source "$root/bench/common.sh"
bench_require cmake ninja sox ffmpeg
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" --target bench_converters >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
in=$work/in.raw
out=$work/out.raw
raw="-t raw -r 44100 -c 2 -b 16 -e signed-integer"
sox -D -n $raw "$in" synth "$secs" pinknoise vol 0.4
export XDG_DATA_HOME=$work/xdg  # the normaliser's temporary file, beside sox's

rate_ours() { "$build/bin/bench_converters" rate "$in" "$out"; }
rate_ffmpeg() {
  ffmpeg -nostdin -v error -threads 1 -f s16le -ar 44100 -ac 2 -i "$in" \
    -af aresample=resampler=soxr:precision=28 -ar 48000 -f s16le -y "$out"
}
norm_ours() { "$build/bin/bench_converters" norm "$in" "$out"; }
norm_ours_memory() { "$build/bin/bench_converters" norm "$in" "$out" memory; }
norm_sox() { sox -D --temp "$work" $raw "$in" $raw "$out" norm; }
bench_alternate rate_ours rate_ffmpeg
bench_alternate norm_ours norm_ours_memory norm_sox

printf 'audio: %d s of 16-bit stereo 44100 Hz pink noise; median [min-max] of %d runs, whole processes\n' \
  "$secs" "$runs"
row() { printf '%-44s %s %s x real time\n' "$1" "$(bench_time "$2")" "$(bench_xrt "$2" "$secs")"; }
row "44.1 -> 48 kHz, TACMConverter (pipeline)" rate_ours
row "44.1 -> 48 kHz, ffmpeg aresample=soxr" rate_ffmpeg
row "normalise, TNormalizer, file store" norm_ours
row "normalise, TNormalizer, memory store" norm_ours_memory
row "normalise, sox norm" norm_sox
printf 'ratios ours / tool: resampling %s, normalising %s (file store), %s (memory store)\n' \
  "$(bench_ratio rate_ours rate_ffmpeg)" "$(bench_ratio norm_ours norm_sox)" "$(bench_ratio norm_ours_memory norm_sox)"
