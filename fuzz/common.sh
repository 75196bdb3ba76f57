# Sourced by every fuzz/<source folder>/build.sh right after it sets `here` (its own
# folder). Each folder under fuzz/ is named after the source folder it covers, and each
# target is named Fuzz<Name>, after the class or unit it feeds: its source is
# <folder>/Fuzz<Name>.cpp, its seeds go to $out/seeds/Fuzz<Name>.
#
# Sets root (the project), out (build-fuzz/<source folder>, or $FUZZ_OUT) and seconds
# (the script's first argument: run time per target, default 20).
root=${here%/fuzz/*}
out=${FUZZ_OUT:-$root/build-fuzz/${here#"$root"/fuzz/}}
seconds=${1:-20}
mkdir -p "$out"

# The compiler flags of every libFuzzer target.
fuzz_flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$root")

# Stops the script when one of the named tools is not installed.
fuzz_require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
  done
}

# Builds target $1 from $here/$1.cpp and the sources and flags that follow. Each source
# is compiled on its own, as many at once as there are processors, through ccache when
# it is installed: the targets share most of their sources, and ccache then compiles a
# source once for all of them.
fuzz_build() {
  local t=$1
  shift
  echo "== building $t"
  local sources=("$here/$t.cpp") compile=() link=() arg
  for arg in "$@"; do
    case $arg in
      *.c | *.cpp) sources+=("$arg") ;;
      -l* | -L* | -Wl,*) link+=("$arg") ;;
      *) compile+=("$arg") ;;
    esac
  done
  local objects=() object source jobs failed=0
  local launcher=()
  command -v ccache >/dev/null && launcher=(ccache)
  jobs=$(nproc 2>/dev/null || echo 2)
  mkdir -p "$out/obj/$t"
  for source in "${sources[@]}"; do
    object=$out/obj/$t/$(printf %s "${source#"$root"/}" | tr / _).o
    objects+=("$object")
    while (($(jobs -rp | wc -l) >= jobs)); do wait -n || failed=1; done
    "${launcher[@]}" clang++ "${fuzz_flags[@]}" "${compile[@]}" -c "$source" -o "$object" &
  done
  while (($(jobs -rp | wc -l) > 0)); do wait -n || failed=1; done
  ((failed == 0)) || { echo "$t did not compile" >&2; return 1; }
  clang++ "${fuzz_flags[@]}" "${objects[@]}" "${link[@]}" -o "$out/$t"
}

# An empty seed folder for target $1, whose path it prints.
fuzz_seeds() {
  rm -rf "$out/seeds/$1"
  mkdir -p "$out/seeds/$1"
  echo "$out/seeds/$1"
}

# Runs target $1 (built in $out) for $seconds with inputs up to $2 bytes on the corpus
# and seed folders that follow, its output kept in $out/$1.log; on failure prints the
# end of the log and returns 1. Crashing inputs are kept in $out.
fuzz_run() {
  local t=$1 max_len=$2
  shift 2
  # The sanitizer runtime's hook on dynamic TLS misreads some blocks and can kill the
  # leak check at exit, depending on where malloc puts them (see scripts/test).
  if ! (cd "$out" && ASAN_OPTIONS=${ASAN_OPTIONS:-intercept_tls_get_addr=0} "./$t" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/$t-" "$@" >"$out/$t.log" 2>&1); then
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
    mkdir -p "$out/corpus/$t" "$out/seeds/$t"
    if fuzz_run "$t" "$max_len" "corpus/$t" "seeds/$t"; then
      grep -E "stat::number_of_executed_units|Done" "$out/$t.log" | tail -2
    else
      status=1
    fi
  done
  return $status
}
