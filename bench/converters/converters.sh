#!/usr/bin/env bash
# Converter speed, as times real time, against the reference tools on the same raw
# 16-bit stereo 44100 Hz file (pink noise):
#   44.1 -> 48 kHz: TACMConverter   vs  ffmpeg -af aresample=resampler=soxr -ar 48000
#   normalising:    TNormalizer     vs  sox ... norm   (both undithered, both with a
#                                       temporary file in the same folder)
# Usage: converters.sh [seconds of audio] [runs]. BENCH_BUILD names the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
secs=${1:-600}
runs=${2:-3}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" --target bench_converters >/dev/null
for tool in sox ffmpeg; do command -v $tool >/dev/null || { echo "$tool is missing" >&2; exit 1; }; done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
in=$work/in.raw
out=$work/out.raw
raw="-t raw -r 44100 -c 2 -b 16 -e signed-integer"
sox -D -n $raw "$in" synth "$secs" pinknoise vol 0.4
cat "$in" > /dev/null
export XDG_DATA_HOME=$work/xdg  # the normaliser's temporary file, beside sox's

now() { date +%s.%N; }
best() { sort -g | head -n1; }
timed() {  # runs a command, prints its wall time
  local t0 t1
  t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}'
}
ours() { "$build/bin/bench_converters" "$@" | cut -d' ' -f1; }

declare -A t
for _ in $(seq "$runs"); do
  t[rate_ours]+="$(ours rate "$in" "$out") "
  t[rate_ffmpeg]+="$(timed ffmpeg -nostdin -v error -threads 1 -f s16le -ar 44100 -ac 2 -i "$in" \
    -af aresample=resampler=soxr -ar 48000 -f s16le -y "$out") "
  t[norm_ours]+="$(ours norm "$in" "$out") "
  t[norm_ours_mem]+="$(ours norm "$in" "$out" memory) "
  t[norm_sox]+="$(timed sox -D --temp "$work" $raw "$in" $raw "$out" norm) "
done

printf 'audio: %d s of 16-bit stereo 44100 Hz pink noise, best of %d runs\n' "$secs" "$runs"
row() {
  local v
  v=$(printf '%s\n' ${t[$2]} | best)
  awk -v n="$1" -v s="$v" -v d="$secs" 'BEGIN{printf "%-44s %7.3f s  %7.1f x real time\n", n, s, d / s}'
}
row "44.1 -> 48 kHz, TACMConverter (pipeline)" rate_ours
row "44.1 -> 48 kHz, ffmpeg aresample=soxr" rate_ffmpeg
row "normalise, TNormalizer, file store" norm_ours
row "normalise, TNormalizer, memory store" norm_ours_mem
row "normalise, sox norm" norm_sox
