# Shared by the benchmark scripts: source it after setting `runs`.

# Fails the script when a tool is missing.
bench_require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
  done
}

# A music-like 16-bit stereo 44.1 kHz WAV at $1: a chord and a bass line with vibrato,
# pink and brown noise, a tremolo and some reverberation, $2 seconds long.
bench_music() {
  sox -n -r 44100 -b 16 -c 2 -t wavpcm "$1" synth "$2" \
    sine 220-233 sine 277 sine 330 pinknoise sine 110 brownnoise \
    remix 1v0.3,2v0.25,4v0.15,5v0.3 3v0.3,2v0.2,6v0.2,5v0.3 \
    tremolo 4 35 reverb 40 norm -1
}

# Times the contenders named in the arguments as whole processes by the wall clock. A
# contender is a shell function or command, run without arguments, or "name:arg" to run
# it with the one argument arg: one untimed warm-up round, then
# $runs rounds, each running every contender once in the order given (A B A B ...),
# so that a change in the machine's load hits all of them alike. Sets bench_med, bench_min
# and bench_max [name] in seconds. A contender that fails stops the script with its
# output.
declare -A bench_med=() bench_min=() bench_max=()
bench_alternate() {
  local name round s e log fn arg
  local -A times=()
  log=$(mktemp)
  for ((round = 0; round <= runs; round++)); do
    for name in "$@"; do
      fn=${name%%:*} arg=
      [[ $name == *:* ]] && arg=${name#*:}
      s=${EPOCHREALTIME/[.,]/}
      if ! "$fn" ${arg:+"$arg"} >"$log" 2>&1; then
        echo "$name failed:" >&2
        cat "$log" >&2
        rm -f "$log"
        exit 1
      fi
      e=${EPOCHREALTIME/[.,]/}
      ((round == 0)) || times[$name]+="$((e - s)) "
    done
  done
  rm -f "$log"
  for name in "$@"; do
    read -r "bench_med[$name]" "bench_min[$name]" "bench_max[$name]" < <(printf '%s\n' ${times[$name]} | sort -n |
      awk '{a[NR] = $1} END {m = NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2
                             printf "%.4f %.4f %.4f\n", m / 1e6, a[1] / 1e6, a[NR] / 1e6}')
  done
}

# "median s [min-max]" of a contender timed by bench_alternate.
bench_time() {
  printf '%7.3f s [%.3f-%.3f]' "${bench_med[$1]}" "${bench_min[$1]}" "${bench_max[$1]}"
}

# The ratio of the medians of two contenders, $1 / $2.
bench_ratio() {
  awk -v a="${bench_med[$1]}" -v b="${bench_med[$2]}" 'BEGIN { printf "%.3f", a / b }'
}

# How many times real time the median run of a contender is, for $2 seconds of audio.
bench_xrt() {
  awk -v t="${bench_med[$1]}" -v d="$2" 'BEGIN { printf "%6.1f", d / t }'
}
