#!/usr/bin/env bash
# Drags files from another process onto the running program's file list under a real
# X server (Xvfb) and saves a picture of the window after the drop. Run by hand after
# scripts/build:  tests/dragdrop/realdrag/real-drag.sh [picture.png] [file...]
# Needs xvfb-run, xdotool and ffmpeg (its x11grab takes the picture). With no files
# named it makes two short WAV files with sox. The program runs with a settings folder of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
bin=${SONVIX_BUILD_DIR:-$root/build}/bin
picture=$(realpath -m "${1:-real-drag.png}")
shift || true
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  for n in first second; do
    sox -n -r 44100 -c 2 -b 16 "$work/$n tone.wav" synth 1 sine 440 vol 0.1
    files+=("$work/$n tone.wav")
  done
fi

export work picture bin
export XDG_CONFIG_HOME=$work/config HOME=$work
xvfb-run -a -s "-screen 0 1280x1024x24" bash -s -- "${files[@]}" <<'INNER'
set -euo pipefail
"$bin/sonvix" > "$work/sonvix.log" 2>&1 &
program=$!
"$bin/dragsource" "$@" > "$work/source.log" 2>&1 &
source=$!
main=$(xdotool search --sync --name "Lumo Audio Converter" | head -1)
xdotool search --sync --name dragsource > /dev/null
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"
# The middle of the file list, whose client origin is at (6, 108) in the window.
tx=$((X + 6 + 230)) ty=$((Y + 108 + 106))
xdotool mousemove 80 40 mousedown 1
for step in 1 2 3 4 5 6 7 8; do
  xdotool mousemove $((80 + (tx - 80) * step / 8)) $((40 + (ty - 40) * step / 8))
  sleep 0.2
done
xdotool mouseup 1
sleep 2
ffmpeg -nostdin -loglevel error -y -f x11grab -video_size 1280x1024 -i "$DISPLAY" -frames:v 1 "$picture"
cat "$work/source.log"
kill "$source" "$program" 2>/dev/null || true
INNER
echo "picture: $picture"
