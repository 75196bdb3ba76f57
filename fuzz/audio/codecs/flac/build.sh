#!/usr/bin/env bash
# Builds the FLAC input's libFuzzer target from the component's and the engine's
# sources, makes a small seed corpus with flac, and runs it. libFLAC itself is the
# system's, loaded at run time. Usage: build.sh [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "${here%/fuzz/*}/fuzz/common.sh"
fuzz_require clang++ sox flac

fuzz_build FuzzFLACIn "$root/audio/codecs/flac/TSL_FLAC.cpp" "$root"/audio/core/TSL_*.cpp \
  "$root"/platform/rtl/*.cpp -ldl -lpthread

# Seeds: tiny files of several widths and channel counts, with and without tags.
seeds=$(fuzz_seeds FuzzFLACIn)
mkdir -p "$out/raw"
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

fuzz_run_each 16384 FuzzFLACIn
