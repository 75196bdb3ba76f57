#pragma once
// Stream facts of a True Audio file ("TTA1" header, after an ID3v2 tag when
// there is one) and its ID3v1, ID3v2 and APE tags.

#include <cstdint>
#include <string>

#include "fileinfo/APETag.h"
#include "fileinfo/ID3v1.h"
#include "fileinfo/ID3v2.h"

class TTTA {
public:
  TTTA() = default;

  // True when the "TTA1" header was found. The tags are read in any case.
  bool ReadFromFile(const std::string& FileName);

  int64_t FileSize() const { return FFileSize; }
  bool Valid() const { return FValid; }
  int32_t Channels() const { return FChannels; }
  int32_t Bits() const { return FBits; }
  int32_t SampleRate() const { return FSampleRate; }
  int64_t Samples() const { return FSamples; }
  double Bitrate() const { return FBitrate; }    // kbit/s
  double Duration() const { return FDuration; }  // seconds
  TID3v1& ID3v1() { return FID3v1; }
  TID3v2& ID3v2() { return FID3v2; }
  TAPETag& APETag() { return FAPETag; }
  const TID3v1& ID3v1() const { return FID3v1; }
  const TID3v2& ID3v2() const { return FID3v2; }
  const TAPETag& APETag() const { return FAPETag; }

private:
  void Clear();

  int64_t FFileSize = 0;
  bool FValid = false;
  int32_t FChannels = 0;
  int32_t FBits = 0;
  int32_t FSampleRate = 0;
  int64_t FSamples = 0;
  double FBitrate = 0;
  double FDuration = 0;
  TID3v1 FID3v1;
  TID3v2 FID3v2;
  TAPETag FAPETag;
};
