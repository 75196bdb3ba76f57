#!/usr/bin/env bash
# Builds the libFuzzer targets of the tag readers with clang (ASan and UBSan)
# straight from the sources, makes a tiny seed corpus and runs each target
# for about 20 seconds. Usage: fuzz/fileinfo/build.sh [seconds per target]
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${FUZZ_OUT:-$root/build-fuzz-fileinfo}"
seconds="${1:-20}"
mkdir -p "$out"

command -v clang++ >/dev/null || { echo "clang++ is missing" >&2; exit 1; }
command -v python3 >/dev/null || { echo "python3 is missing" >&2; exit 1; }

flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$root")
sources=("$root"/fileinfo/*.cpp "$root"/platform/rtl/StrUtils.cpp "$root"/platform/rtl/FileUtils.cpp
         "$root"/platform/rtl/SysUtils.cpp "$root"/platform/rtl/Folders.cpp)
targets=(FuzzID3v2 FuzzID3v1 FuzzAPETag FuzzWavFile FuzzFLAC FuzzOgg)

for t in "${targets[@]}"; do
  echo "== building $t"
  clang++ "${flags[@]}" "$root/fuzz/fileinfo/$t.cpp" "${sources[@]}" -o "$out/$t"
done

# Seeds: one small well-formed example per parser and a few damaged ones.
python3 "$root/fuzz/fileinfo/make_seeds.py" "$out/seeds"

status=0
for t in "${targets[@]}"; do
  echo "== running $t for ${seconds}s"
  mkdir -p "$out/corpus/$t"
  if ! (cd "$out" && "./$t" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 "corpus/$t" "seeds/$t" >"$out/$t.log" 2>&1); then
    echo "$t FAILED; see $out/$t.log" >&2
    tail -40 "$out/$t.log" >&2
    status=1
  else
    grep -E "stat::number_of_executed_units|Done" "$out/$t.log" | tail -2
  fi
done
exit $status
