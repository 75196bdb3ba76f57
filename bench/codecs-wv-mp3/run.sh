#!/usr/bin/env bash
# Encoding speed of our WavPack and MP3 outputs against Debian's wavpack and lame with
# the same settings, on the same 16-bit stereo file of song length (tones, chords and
# noise, made with sox). Ours is the whole process of a small driver (raw PCM input,
# worker thread, library loading, shutdown); theirs is the tool reading the WAV of the
# same samples. Each pair runs in turn (ABAB); median and [min-max] of the runs.
#   WavPack: fast / high / very high  against  wavpack -f / -h / -hh
#   WavPack sizes on 10 s of nearly alike channels (a sine with pink noise, the right
#            channel 0.9 of the left plus faint white noise): our default settings
#            (fast, joint stereo left to the library) and each level against wavpack's
#            default and the same level
#   MP3:     128 kbit/s CBR and VBR quality 5, stereo mode without bit reservoir (the
#            program's settings)  against  lame -m s --nores (-b 128 -t | -V 5). Our
#            encoder does no ReplayGain analysis, so lame does none either
#            (--noreplaygain); the CBR files of both carry no LAME tag.
# Usage: run.sh [runs, default 5] [seconds of audio, default 180].
# BENCH_BUILD names a configured build folder to use as it is; by default a Release
# build in build-bench-wvmp3.
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
runs="${1:-5}"
length="${2:-180}"
source "$root/bench/common.sh"
bench_require cmake ninja g++ sox wavpack wvunpack lame
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
bench_music "$src" "$length"
seconds=$(soxi -D "$src")
sox "$src" -t raw "$work/src.raw"

row() {  # name, our contender, their contender, our file, their file
  local zo zt
  zo=$(stat -c %s "$4")
  zt=$(stat -c %s "$5")
  printf '%-22s ours %s  tool %s  ratio %s  size o/t %s\n' "$1" "$(bench_time "$2")" "$(bench_time "$3")" \
    "$(bench_ratio "$2" "$3")" "$(awk -v a="$zo" -v b="$zt" 'BEGIN { printf "%.4f", a / b }')"
}

echo "source: $seconds s of 16-bit stereo 44.1 kHz; median [min-max] of $runs runs, whole processes"
wv_ours() { "$ours" wv "$work/src.raw" "$work/ours.wv" 2 44100 "$1"; }
wv_tool() { wavpack -q -y "$1" "$src" -o "$work/tool.wv"; }
for mode in fast high veryhigh; do
  case $mode in fast) opt=-f ;; high) opt=-h ;; veryhigh) opt=-hh ;; esac
  bench_alternate wv_ours:$mode wv_tool:$opt
  row "wavpack $mode ($opt)" wv_ours:$mode wv_tool:$opt "$work/ours.wv" "$work/tool.wv"
  wvunpack -q -y -r "$work/ours.wv" -o "$work/check.raw"
  cmp -s "$work/check.raw" "$work/src.raw" || echo "  MISMATCH: our $mode file does not decode to the source"
done
# Sizes only, where joint stereo matters most.
sox -R -D -n -r 44100 -b 16 -c 3 "$work/three.wav" synth 10 sine 440 pinknoise whitenoise
sox -R -D "$work/three.wav" "$work/corr.wav" remix 1v0.4,2v0.4 1v0.36,2v0.36,3v0.004
sox "$work/corr.wav" -t raw "$work/corr.raw"
wavpack -q -y "$work/corr.wav" -o "$work/corr-default.wv"
size_ratio() { awk -v a="$(stat -c %s "$1")" -v b="$(stat -c %s "$2")" 'BEGIN { printf "%.4f", a / b }'; }
printf '\nsizes on nearly alike channels, 10 s: wavpack (default) %d bytes\n' "$(stat -c %s "$work/corr-default.wv")"
for mode in fast high veryhigh; do
  case $mode in fast) opt=-f ;; high) opt=-h ;; veryhigh) opt=-hh ;; esac
  "$ours" wv "$work/corr.raw" "$work/corr-ours.wv" 2 44100 "$mode" >/dev/null
  wavpack -q -y "$opt" "$work/corr.wav" -o "$work/corr-tool.wv"
  wvunpack -q -y -r "$work/corr-ours.wv" -o "$work/corr-check.raw"
  cmp -s "$work/corr-check.raw" "$work/corr.raw" || echo "  MISMATCH: our $mode file does not decode to the source"
  printf '%-22s ours %9d  wavpack %-3s %9d  ours/tool %s  ours/default %s\n' "wavpack $mode" \
    "$(stat -c %s "$work/corr-ours.wv")" "$opt" "$(stat -c %s "$work/corr-tool.wv")" \
    "$(size_ratio "$work/corr-ours.wv" "$work/corr-tool.wv")" "$(size_ratio "$work/corr-ours.wv" "$work/corr-default.wv")"
done
echo

cbr_ours() { "$ours" mp3 "$work/src.raw" "$work/ours.mp3" 2 44100 cbr 128; }
cbr_tool() { lame --quiet -m s --nores -b 128 -t --noreplaygain "$src" "$work/tool.mp3"; }
bench_alternate cbr_ours cbr_tool
row "mp3 CBR 128" cbr_ours cbr_tool "$work/ours.mp3" "$work/tool.mp3"
vbr_ours() { "$ours" mp3 "$work/src.raw" "$work/ours.mp3" 2 44100 vbr 5; }
vbr_tool() { lame --quiet -m s --nores -V 5 --noreplaygain "$src" "$work/tool.mp3"; }
bench_alternate vbr_ours vbr_tool
row "mp3 VBR q5" vbr_ours vbr_tool "$work/ours.mp3" "$work/tool.mp3"
