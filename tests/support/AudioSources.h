#pragma once
// Source files of every input format the converter reads, made at test time by
// Debian's tools (sox, lame, flac, oggenc, wavpack, mpcenc, ffmpeg) and, for Monkey's
// Audio, by our own encoder; tags with non-Latin text written by the formats' own
// tools or by mutagen.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/Tags.h"

namespace testsupport {

struct TSource {
  std::string Name;  // file name in the folder
  int Rate = 44100;
  int Channels = 2;
  // The common fields ("artist", "album", ...) the file's tags should read as, sorted
  // by field; the MP3 file's ID3v1 block says otherwise and fills only its album.
  TTagItems Tags;
};

// One tagged file of each format (WAV, MP3, FLAC, Ogg Vorbis, WavPack, Monkey's Audio,
// True Audio, Musepack, Windows Media, AVI) in Dir, and a FLAC file tagged with only an
// artist and a title, Seconds long each: 44.1 kHz stereo, but the WAV file is 48 kHz
// mono and it and the AVI file carry no tags.
std::vector<TSource> MakeSourceFolder(const std::string& Dir, double Seconds);

// A 16-bit WAV file of tones made by sox; returns Path.
std::string MakeWave(const std::string& Path, int Rate, int Channels, double Seconds);

// A CD image (cue and bin) whose drive SONVIX_CD_IMAGES can list; Bytes holds each
// track's bytes (16-bit stereo PCM at 44.1 kHz for audio tracks), track 1 first.
struct TCdImageTrack {
  bool Audio = true;
  uint32_t Sectors = 75;
};
struct TCdImage {
  std::string Cue;
  std::vector<std::vector<uint8_t>> Bytes;
};
TCdImage MakeCdImage(const std::string& Dir, const std::vector<TCdImageTrack>& Tracks);

}  // namespace testsupport
