#!/usr/bin/env bash
# Builds the libFuzzer targets of the tag and header readers straight from the
# sources, makes a small seed corpus (written by make_seeds.py, real WavPack and True
# Audio files by wavpack and ffmpeg) and runs each. Usage: build.sh [seconds per target]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "${here%/fuzz/*}/fuzz/common.sh"
fuzz_require clang++ python3 sox wavpack ffmpeg lame

sources=("$root"/fileinfo/*.cpp "$root"/platform/rtl/{StrUtils,FileUtils,SysUtils,Folders,IniFiles,StringList,APEv2Format,ID3v2Format,MPEGAudioFormat,VorbisComments}.cpp)
targets=(FuzzID3v2 FuzzID3v1 FuzzAPETag FuzzWavFile FuzzFLACfile FuzzOggVorbis FuzzWAVPackfile FuzzTTA
         FuzzCDAtrack FuzzMPEGaudio)
for t in "${targets[@]}"; do
  fuzz_build "$t" "${sources[@]}"
done

# Seeds: one small well-formed example per reader and a few damaged ones.
for t in "${targets[@]}"; do fuzz_seeds "$t" >/dev/null; done
python3 "$here/make_seeds.py" "$out/seeds"
tmp="$out/tmp"
rm -rf "$tmp"
mkdir -p "$tmp"
sox -n -r 8000 -b 16 -c 2 "$tmp/s16.wav" synth 0.05 sine 300 pinknoise
sox -n -r 22050 -b 24 -c 1 "$tmp/s24.wav" synth 0.02 sine 300
sox -n -r 11025 -b 8 -c 1 "$tmp/u8.wav" synth 0.05 sine 300
for m in -f -h -hh; do
  wavpack -q -y $m "$tmp/s16.wav" -o "$out/seeds/FuzzWAVPackfile/s16$m.wv"
done
wavpack -q -y -b128 -w "Title=T" -w "Artist=Ä" "$tmp/s24.wav" -o "$out/seeds/FuzzWAVPackfile/hybrid-tagged.wv"
for w in s16 s24 u8; do
  ffmpeg -nostdin -v error -y -i "$tmp/$w.wav" -c:a tta "$out/seeds/FuzzTTA/$w.tta"
done
ffmpeg -nostdin -v error -y -i "$tmp/s16.wav" -c:a tta -metadata title=T -write_id3v2 1 \
  "$out/seeds/FuzzTTA/id3v2.tta"
{ cat "$out/seeds/FuzzTTA/u8.tta"; printf 'TAG%-125s' 'Title'; } >"$out/seeds/FuzzTTA/id3v1.tta"
m=$out/seeds/FuzzMPEGaudio
lame --quiet -b 32 "$tmp/s16.wav" "$m/cbr.mp3"
lame --quiet -t -b 32 "$tmp/s16.wav" "$m/no-header.mp3"
lame --quiet -V 5 --add-id3v2 --tt T "$tmp/s24.wav" "$m/vbr-id3v2.mp3"
ffmpeg -nostdin -v error -y -i "$tmp/s16.wav" -c:a mp2 -f mp2 "$m/layer2.mp3"

fuzz_run_each 8192 "${targets[@]}"
