#!/usr/bin/env bash
# Speed and size of libMACDll.so on the same 60-second 16-bit stereo file (tones,
# chords and noise, made with sox). Run by hand; not part of the test suite.
#   decode: ours against ffmpeg's ape decoder to raw PCM, both checking the frame CRCs
#   encode: no Debian tool writes Monkey's Audio, so flac -8 on the same raw PCM stands
#           beside ours as a yardstick of a lossless encoder
# Every contender is a whole process timed from outside, run in turn (ABAB); median
# and [min-max] of the runs.
# Usage: bench/mac/run.sh [runs, default 5]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$root/build-mac-bench}"
runs="${1:-5}"
source "$root/bench/common.sh"
work="$(mktemp -d "${TMPDIR:-/tmp}/mac-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT

bench_require cmake ninja g++ sox flac ffmpeg

# The library as the project builds it (release flags), and the driver beside it.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target MACDll >/dev/null
g++ -std=c++20 -O2 -I"$root" "$root/bench/mac/MACBench.cpp" -ldl -o "$build/bin/MACBench"
ours="$build/bin/MACBench"

src="$work/music.wav"
bench_music "$src" 60
seconds=$(soxi -D "$src")
sox "$src" -t s16 "$work/src.raw"
rawsize=$(stat -c %s "$work/src.raw")
flacraw=(--force-raw-format --endian=little --sign=signed --channels=2 --bps=16 --sample-rate=44100)

flac_enc() { flac -8 -s -f "${flacraw[@]}" -o "$work/music.flac" "$work/src.raw"; }
enc() { "$ours" enc "$1" 16 2 44100 "$work/src.raw" "$work/music-$1.ape"; }
bench_alternate flac_enc enc:2000 enc:4000
dec() { "$ours" dec "$work/music-$1.ape" "$work/dec-$1.raw"; }
ffmpeg_dec() { ffmpeg -nostdin -v error -err_detect crccheck -i "$work/music-$1.ape" -f s16le -y "$work/ff-$1.raw"; }
bench_alternate dec:2000 ffmpeg_dec:2000 dec:4000 ffmpeg_dec:4000

size_flac=$(stat -c %s "$work/music.flac")
printf 'source: %.1f s of 16-bit stereo, %d bytes of PCM; median [min-max] of %d runs, whole processes\n\n' \
  "$seconds" "$rawsize" "$runs"
printf '%-22s encode %s %s x real time, %d bytes (%.2f%% of PCM)\n' "flac -8 (yardstick)" "$(bench_time flac_enc)" \
  "$(bench_xrt flac_enc "$seconds")" "$size_flac" "$(awk -v z="$size_flac" -v w="$rawsize" 'BEGIN { print 100 * z / w }')"
for level in 2000 4000; do
  ape="$work/music-$level.ape"
  size=$(stat -c %s "$ape")
  printf '%-22s encode %s %s x real time, %d bytes (%.2f%% of PCM, %+.2f%% vs flac -8)\n' "MACDll level $level" \
    "$(bench_time enc:$level)" "$(bench_xrt enc:$level "$seconds")" "$size" \
    "$(awk -v z="$size" -v w="$rawsize" 'BEGIN { print 100 * z / w }')" \
    "$(awk -v z="$size" -v f="$size_flac" 'BEGIN { print 100 * (z - f) / f }')"
  printf '%-22s decode %s %s x real time; ffmpeg %s; ratio ours / ffmpeg %s\n' "" "$(bench_time dec:$level)" \
    "$(bench_xrt dec:$level "$seconds")" "$(bench_time ffmpeg_dec:$level)" "$(bench_ratio dec:$level ffmpeg_dec:$level)"
  check=$(cmp -s "$work/dec-$level.raw" "$work/src.raw" && echo ok || echo MISMATCH)
  ff=$(cmp -s "$work/ff-$level.raw" "$work/src.raw" && echo ok || echo MISMATCH)
  echo "  round trip: our decoder $check, ffmpeg $ff"
done
