#pragma once
// Stream facts of an MPEG audio file (MP3, or layer I/II audio in one) read from its
// frame headers without decoding: the first frame after any ID3v2 tags; the frame
// count of a Xing/Info or VBRI header before it, with the encoder delay and padding
// of a LAME tag; without a count, an estimate from the audio's bytes and the bit rate
// (constant over the first 64 KiB). Samples is what the media reader decodes of the
// file: every frame, less the encoder delay and padding that the LAME tag tells.

#include <cstdint>
#include <string>

class TMPEGaudio {
public:
  // True when a frame was found that the next frame header confirms (right after the
  // ID3v2 tags, or within 64 KiB of junk after them) and the length can be told: a
  // count, or a constant bit rate.
  bool ReadFromFile(const std::string& FileName);

  bool Valid() const { return FValid; }
  int32_t SampleRate() const { return FSampleRate; }
  int32_t Channels() const { return FChannels; }  // 1 or 2
  int32_t Layer() const { return FLayer; }        // 1 to 3
  int32_t Bitrate() const { return FBitrate; }    // kbit/s of the first frame
  int64_t Frames() const { return FFrames; }      // MPEG frames, announced or estimated
  // False when the file announces no frame count: Frames is then estimated.
  bool Counted() const { return FCounted; }
  int64_t Samples() const { return FSamples; }  // sample frames per channel

private:
  void Clear();

  bool FValid = false;
  int32_t FSampleRate = 0;
  int32_t FChannels = 0;
  int32_t FLayer = 0;
  int32_t FBitrate = 0;
  int64_t FFrames = 0;
  bool FCounted = false;
  int64_t FSamples = 0;
};
