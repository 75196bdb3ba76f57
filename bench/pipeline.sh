#!/usr/bin/env bash
# Pipeline throughput against plain reading: a large raw PCM file pulled through
# input -> pass-through converter -> output on the worker thread, against
# `cat file > /dev/null` on the same cached file. The output either drops each block
# or copies it into a buffer of its own first, as encoders do. Every contender is a
# whole process timed from outside, run in turn (cat, drop, copy, cat, ...).
# Usage: bench/pipeline.sh [MiB, default 1024] [runs, default 21]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
mb=${1:-1024}
runs=${2:-21}
source "$root/bench/common.sh"
bench_require cmake ninja
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" --target bench_pipeline >/dev/null
file=$(mktemp --suffix=.raw)
trap 'rm -f "$file"' EXIT
head -c $((mb * 1024 * 1024)) /dev/urandom >"$file"
sync "$file"  # no writeback of the new file while the contenders read it

cat_file() { cat "$file" >/dev/null; }
blocks_dropped() { "$build/bin/bench_pipeline" "$file" 65536; }
blocks_copied() { "$build/bin/bench_pipeline" "$file" 65536 copy; }
bench_alternate cat_file blocks_dropped blocks_copied

printf 'file: %d MiB, 64 KiB blocks; median [min-max] of %d runs, whole processes\n' "$mb" "$runs"
printf '%-30s %s\n' "cat > /dev/null" "$(bench_time cat_file)"
printf '%-30s %s  ratio %s\n' "pipeline, blocks dropped" "$(bench_time blocks_dropped)" \
  "$(bench_ratio blocks_dropped cat_file)"
printf '%-30s %s  ratio %s\n' "pipeline, blocks copied out" "$(bench_time blocks_copied)" \
  "$(bench_ratio blocks_copied cat_file)"
