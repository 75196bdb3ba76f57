#!/usr/bin/env bash
# Pipeline throughput against plain reading: pulls a large raw PCM file through
# input -> pass-through converter -> discarding output, and compares the time with
# `cat file > /dev/null` on the same (cached) file. Prints the ratio.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
mb=${1:-1024}
runs=${2:-5}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONVIX_BENCH=ON >/dev/null
cmake --build "$build" --target bench_pipeline >/dev/null
file=$(mktemp --suffix=.raw)
trap 'rm -f "$file"' EXIT
head -c $((mb * 1024 * 1024)) /dev/urandom > "$file"
cat "$file" > /dev/null  # warm the cache for both contenders

best() { sort -g | head -n1; }
cat_times=() pipe_times=() copy_times=()
for _ in $(seq "$runs"); do
  t0=$(date +%s.%N); cat "$file" > /dev/null; t1=$(date +%s.%N)
  cat_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')")
  pipe_times+=("$("$build/bin/bench_pipeline" "$file" 65536 | cut -d' ' -f1)")
  copy_times+=("$("$build/bin/bench_pipeline" "$file" 65536 copy | cut -d' ' -f1)")
done
c=$(printf '%s\n' "${cat_times[@]}" | best)
p=$(printf '%s\n' "${pipe_times[@]}" | best)
k=$(printf '%s\n' "${copy_times[@]}" | best)
printf 'file: %d MiB, best of %d runs\n' "$mb" "$runs"
awk -v c="$c" -v p="$p" -v k="$k" -v mb="$mb" 'BEGIN {
  printf "cat > /dev/null:             %.3f s (%.0f MiB/s)\n", c, mb / c
  printf "pipeline, blocks dropped:    %.3f s (%.0f MiB/s)  ratio %.2f\n", p, mb / p, p / c
  printf "pipeline, blocks copied out: %.3f s (%.0f MiB/s)  ratio %.2f\n", k, mb / k, k / c }'
