#!/usr/bin/env bash
# Builds the libFuzzer target of the readers of dropped blocks (URI lists, name lists,
# texts, values, file descriptors) with clang (ASan and UBSan), writes a few seeds and
# runs it. Usage: fuzz/dragdrop/build.sh [seconds]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${FUZZ_OUT:-$root/build-fuzz-dragdrop}"
seconds="${1:-20}"
mkdir -p "$out"
. "$root/fuzz/common.sh"
fuzz_require clang++

echo "== building FuzzDropBlocks"
clang++ "${fuzz_flags[@]}" "$root/fuzz/dragdrop/FuzzDropBlocks.cpp" "$root/dragdrop/DragDropBlocks.cpp" \
  "$root/platform/rtl/StrUtils.cpp" -o "$out/FuzzDropBlocks"

seeds="$out/seeds/FuzzDropBlocks"
rm -rf "$seeds"
mkdir -p "$seeds"
printf '# files\r\nfile:///home/u/a%%20b.wav\r\nfile://localhost/tmp/caf%%E9.mp3\r\nhttp://x/y\r\nfile:/z\n' \
  >"$seeds/uri-list"
printf 'a\0b\0c\0\0' >"$seeds/names"
printf 'a\0\0\0b\0\0\0\0\0' >"$seeds/wide-names"
printf '\1\0\0\0' >"$seeds/count"
head -c 332 /dev/zero | (printf '\1\0\0\0'; cat) >"$seeds/descriptor"

fuzz_run_each 4096 FuzzDropBlocks
