#pragma once
// The header of an MPEG audio frame (layers I to III of MPEG-1, 2 and 2.5), which the
// media reader and the MP3 file info reader share.

#include <cstdint>

struct TMPEGFrameHeader {
  int Layer = 0;     // 1 to 3
  bool Lsf = false;  // MPEG-2 or 2.5: a layer III frame holds half the samples
  int Kbps = 0;      // 0: free format
  int Rate = 0;
  int Channels = 0;
  int Bytes = 0;  // the frame's length; 0 in free format, whose header does not tell it
  int SamplesPerFrame = 0;
};

// The four header bytes, highest first. False for anything but a frame header.
bool DecodeMPEGFrameHeader(uint32_t Header, TMPEGFrameHeader& H);
