#!/bin/sh
# Builds the engine's ID3v2 reader fuzz target and runs it briefly.
# Usage: fuzz/core/build.sh [seconds]   (default 20)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out="$root/build-fuzz-core"
seconds=${1:-20}
mkdir -p "$out/corpus" "$out/seeds"

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" \
  "$here/Id3v2ReaderFuzz.cpp" \
  "$root/audio/core/TSL_Tags.cpp" \
  "$root/platform/rtl/APEv2Format.cpp" \
  "$root/platform/rtl/Classes.cpp" \
  "$root/platform/rtl/FileUtils.cpp" \
  "$root/platform/rtl/ID3v2Format.cpp" \
  "$root/platform/rtl/Streams.cpp" \
  "$root/platform/rtl/StrUtils.cpp" \
  "$root/platform/rtl/SysUtils.cpp" \
  "$root/platform/rtl/VorbisComments.cpp" \
  -o "$out/id3v2_reader_fuzz"

# Seeds: the tags eyeD3 writes in each version and text encoding, cut from real files.
if command -v sox >/dev/null && command -v eyeD3 >/dev/null; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  sox -n -r 8000 -c 1 "$tmp/a.mp3" synth 0.1 sine 440 2>/dev/null
  n=0
  for v in 2.3 2.4; do
    for e in latin1 utf16 utf8 utf16-be; do
      [ "$v" = 2.3 ] && { [ "$e" = utf8 ] || [ "$e" = utf16-be ]; } && continue
      n=$((n + 1))
      cp "$tmp/a.mp3" "$tmp/s$n.mp3"
      artist="Ärtist Ω"
      [ "$e" = latin1 ] && artist="Ärtist"
      eyeD3 --to-v$v --encoding $e -a "$artist" -A Album -t "Title" -n 3 -G Rock \
        --recording-date 2004-05-06 -c comment --user-url-frame ":http://x.org/" \
        --text-frame TCOM:Composer "$tmp/s$n.mp3" >/dev/null 2>&1 || continue
      head -c 600 "$tmp/s$n.mp3" > "$out/seeds/eyed3-$v-$e"
    done
  done
else
  echo "sox or eyeD3 missing: running without seeds" >&2
fi

"$out/id3v2_reader_fuzz" -max_total_time="$seconds" -max_len=2048 -print_final_stats=1 \
  -artifact_prefix="$out/" \
  "$out/corpus" "$out/seeds"
