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

# Median wall time of a command over $runs runs, in seconds.
timeit() {
  local t=() i s e
  for ((i = 0; i < runs; i++)); do
    s=$(date +%s%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s%N)
    t+=($((e - s)))
  done
  printf '%s\n' "${t[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.4f", a[int((NR+1)/2)]/1e9}'
}
