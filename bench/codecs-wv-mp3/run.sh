#!/usr/bin/env bash
# Encoding speed of our WavPack and MP3 outputs against Debian's wavpack and lame with
# the same settings, on the same 16-bit stereo file of song length (tones, chords and
# noise, made with sox). Ours is the whole process of a small driver (raw PCM input,
# worker thread, library loading, shutdown); theirs is the tool reading the WAV of the
# same samples.
#   WavPack: fast / high / very high  against  wavpack -f / -h / -hh
#   MP3:     128 kbit/s CBR and VBR quality 5, stereo mode without bit reservoir (the
#            program's settings)  against  lame -m s --nores (-b 128 -t | -V 5)
# Usage: run.sh [runs per measurement, default 5] [seconds of audio, default 180].
# BENCH_BUILD names a configured build
# folder to use as it is; by default a Release build in build-bench-wvmp3.
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
runs="${1:-5}"
length="${2:-180}"
for tool in cmake ninja g++ sox wavpack wvunpack lame ffmpeg; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
if [[ -n "${BENCH_BUILD:-}" ]]; then
  build="$BENCH_BUILD"
else
  build="$root/build-bench-wvmp3"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j3 --target codec_wavpack codec_mp3 lame_enc >/dev/null
ours="$build/bin/WvMp3Bench"
g++ -std=c++20 -O2 -I"$root" "$root/bench/codecs-wv-mp3/WvMp3Bench.cpp" \
  "$build/audio/codecs/wavpack/libcodec_wavpack.a" "$build/audio/codecs/mp3/libcodec_mp3.a" \
  "$build/audio/core/libaudio_core.a" "$build/platform/rtl/librtl.a" -lpthread -ldl -o "$ours"

work="$(mktemp -d "${TMPDIR:-/tmp}/wvmp3-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
src="$work/music.wav"
sox -n -r 44100 -b 16 -c 2 "$src" synth "$length" \
  sine 220-233 sine 277 sine 330 pinknoise sine 110 brownnoise \
  remix 1v0.3,2v0.25,4v0.15,5v0.3 3v0.3,2v0.2,6v0.2,5v0.3 \
  tremolo 4 35 reverb 40 norm -1
seconds=$(soxi -D "$src")
sox "$src" -t raw "$work/src.raw"
cat "$src" "$work/src.raw" >/dev/null

# Median wall time of a command, in seconds.
timeit() {
  local t=() s e
  for ((i = 0; i < runs; i++)); do
    s=$(date +%s%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s%N)
    t+=($((e - s)))
  done
  printf '%s\n' "${t[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.4f", a[int((NR+1)/2)]/1e9}'
}

row() {  # name, our seconds, their seconds, our file, their file
  local zo zt
  zo=$(stat -c %s "$4")
  zt=$(stat -c %s "$5")
  awk -v n="$1" -v o="$2" -v t="$3" -v zo="$zo" -v zt="$zt" -v s="$seconds" 'BEGIN {
    printf "%-22s %8.3f %8.3f %9.3f %10d %10d %8.4f\n", n, o, t, o / t, zo, zt, zo / zt }'
}

echo "source: $seconds s of 16-bit stereo 44.1 kHz; median of $runs runs, wall clock"
printf "%-22s %8s %8s %9s %10s %10s %8s\n" "" "ours s" "tool s" "time o/t" "ours B" "tool B" "size o/t"
for mode in fast high veryhigh; do
  case $mode in fast) opt=-f ;; high) opt=-h ;; veryhigh) opt=-hh ;; esac
  to=$(timeit "$ours" wv "$work/src.raw" "$work/ours.wv" 2 44100 "$mode")
  tt=$(timeit wavpack -q -y $opt "$src" -o "$work/tool.wv")
  row "wavpack $mode ($opt)" "$to" "$tt" "$work/ours.wv" "$work/tool.wv"
  wvunpack -q -y -r "$work/ours.wv" -o "$work/check.raw"
  cmp -s "$work/check.raw" "$work/src.raw" || echo "  MISMATCH: our $mode file does not decode to the source"
done
to=$(timeit "$ours" mp3 "$work/src.raw" "$work/ours.mp3" 2 44100 cbr 128)
tt=$(timeit lame --quiet -m s --nores -b 128 -t "$src" "$work/tool.mp3")
row "mp3 CBR 128" "$to" "$tt" "$work/ours.mp3" "$work/tool.mp3"
to=$(timeit "$ours" mp3 "$work/src.raw" "$work/ours.mp3" 2 44100 vbr 5)
tt=$(timeit lame --quiet -m s --nores -V 5 --noreplaygain "$src" "$work/tool.mp3")
row "mp3 VBR q5" "$to" "$tt" "$work/ours.mp3" "$work/tool.mp3"
tt=$(timeit lame --quiet -m s --nores -V 5 "$src" "$work/tool.mp3")
awk -v t="$tt" 'BEGIN { printf "(lame -V 5 with its default ReplayGain analysis: %.3f s)\n", t }'
