#!/usr/bin/env bash
# Builds the libFuzzer targets of the tag readers with clang (ASan and UBSan)
# straight from the sources, makes a tiny seed corpus and runs each target
# for about 20 seconds. Usage: fuzz/fileinfo/build.sh [seconds per target]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${FUZZ_OUT:-$root/build-fuzz-fileinfo}"
seconds="${1:-20}"
mkdir -p "$out"

. "$root/fuzz/common.sh"
fuzz_require clang++ python3

sources=("$root"/fileinfo/*.cpp "$root"/platform/rtl/StrUtils.cpp "$root"/platform/rtl/FileUtils.cpp
         "$root"/platform/rtl/SysUtils.cpp "$root"/platform/rtl/Folders.cpp "$root"/platform/rtl/IniFiles.cpp
         "$root"/platform/rtl/StringList.cpp "$root"/platform/rtl/APEv2Format.cpp
         "$root"/platform/rtl/ID3v2Format.cpp "$root"/platform/rtl/VorbisComments.cpp)
targets=(FuzzID3v2 FuzzID3v1 FuzzAPETag FuzzWavFile FuzzFLAC FuzzOgg)

for t in "${targets[@]}"; do
  echo "== building $t"
  clang++ "${fuzz_flags[@]}" "$root/fuzz/fileinfo/$t.cpp" "${sources[@]}" -o "$out/$t"
done

# Seeds: one small well-formed example per parser and a few damaged ones.
python3 "$root/fuzz/fileinfo/make_seeds.py" "$out/seeds"

fuzz_run_each 8192 "${targets[@]}"
