#!/usr/bin/env bash
# Builds the libFuzzer target of the readers of dropped blocks (URI lists, name lists,
# texts, values, file descriptors), writes a few seeds and runs it. Usage: build.sh [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "${here%/fuzz/*}/fuzz/common.sh"
fuzz_require clang++

fuzz_build FuzzDropBlocks "$root/dragdrop/DragDropBlocks.cpp" "$root/platform/rtl/StrUtils.cpp"

seeds=$(fuzz_seeds FuzzDropBlocks)
printf '# files\r\nfile:///home/u/a%%20b.wav\r\nfile://localhost/tmp/caf%%E9.mp3\r\nhttp://x/y\r\nfile:/z\n' \
  >"$seeds/uri-list"
printf 'a\0b\0c\0\0' >"$seeds/names"
printf 'a\0\0\0b\0\0\0\0\0' >"$seeds/wide-names"
printf '\1\0\0\0' >"$seeds/count"
head -c 332 /dev/zero | (printf '\1\0\0\0'; cat) >"$seeds/descriptor"

fuzz_run_each 4096 FuzzDropBlocks
