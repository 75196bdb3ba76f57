#!/usr/bin/env bash
# Builds the FLAC input's libFuzzer target with clang (ASan and UBSan) from the
# component's and the engine's sources, makes a small seed corpus with flac, and runs
# it for a while. Usage: fuzz/codecs-flac/build.sh [seconds, default 20]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out="${FUZZ_OUT:-$root/build-fuzz-flac}"
seconds="${1:-20}"
for tool in clang++ sox flac; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
mkdir -p "$out"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$root" \
  "$here/FlacInFuzz.cpp" "$root/audio/codecs/flac/TSL_FLAC.cpp" \
  "$root"/audio/core/TSL_*.cpp "$root"/platform/rtl/*.cpp -ldl -lpthread -o "$out/flac_in_fuzz"

# Seeds: tiny files of several widths and channel counts, with and without tags.
seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds" "$out/corpus" "$out/raw"
make() { # name bits channels level extra...
  local name=$1 bits=$2 ch=$3 level=$4 sign=signed
  shift 4
  [ "$bits" = 8 ] && sign=unsigned
  sox -D -n -t raw -r 8000 -c "$ch" -b "$bits" -e $sign-integer "$out/raw/$name.raw" synth 0.15 sine 300 sine 500 pinknoise
  flac -s -f --force-raw-format --endian=little --sign=$sign --channels="$ch" --bps="$bits" --sample-rate=8000 \
    -"$level" -b 256 "$@" -o "$seeds/$name.flac" "$out/raw/$name.raw"
}
make u8 8 1 0
make s16 16 2 5 -T TITLE=x -T ARTIST=y
make s24 24 3 8 --no-seektable
make s32 32 2 1 --padding=16

"$out/flac_in_fuzz" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus" "$seeds" 2>&1 | tail -12
