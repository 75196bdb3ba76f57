# Sourced by the bash fuzz/*/build.sh scripts, which set root, out and seconds first.

# The compiler flags of every libFuzzer target.
fuzz_flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$root")

# Stops the script when one of the named tools is not installed.
fuzz_require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
  done
}

# Runs target $1 (built in $out) for $seconds with inputs up to $2 bytes on the corpus
# and seed folders that follow, its output kept in $out/$1.log; on failure prints the
# end of the log and returns 1.
fuzz_run() {
  local t=$1 max_len=$2
  shift 2
  if ! (cd "$out" && "./$t" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 "$@" >"$out/$t.log" 2>&1); then
    echo "$t FAILED; see $out/$t.log" >&2
    tail -40 "$out/$t.log" >&2
    return 1
  fi
}

# Runs each target named after $1 (the input size limit) on corpus/<target> and
# seeds/<target>, printing its figures; returns 1 when any of them failed.
fuzz_run_each() {
  local max_len=$1 t status=0
  shift
  for t in "$@"; do
    echo "== running $t for ${seconds}s"
    mkdir -p "$out/corpus/$t"
    if fuzz_run "$t" "$max_len" "corpus/$t" "seeds/$t"; then
      grep -E "stat::number_of_executed_units|Done" "$out/$t.log" | tail -2
    else
      status=1
    fi
  done
  return $status
}
