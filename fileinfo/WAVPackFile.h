#pragma once
// Stream facts of a WavPack file, old ("RIFF" with a version 1-3 header after
// the data chunk) or block format ("wvpk"), and its APE tag.

#include <cstdint>
#include <string>

#include "fileinfo/APETag.h"

namespace fileinfo {
class TReadFile;
}

class TWAVPackfile {
public:
  TWAVPackfile() = default;

  // True for a valid old-format or block-format WavPack file. The APE tag is
  // read in any case.
  bool ReadFromFile(const std::string& FileName);

  int64_t FileSize() const { return FFileSize; }
  bool Valid() const { return FValid; }
  int32_t Version() const { return FVersion; }
  int32_t Channels() const { return FChannels; }
  int32_t SampleRate() const { return FSampleRate; }
  int32_t Bits() const { return FBits; }
  int64_t Samples() const { return FSamples; }
  const std::string& Encoder() const { return FEncoder; }
  double Bitrate() const { return FBitrate; }    // kbit/s
  double Duration() const { return FDuration; }  // seconds
  TAPETag& APETag() { return FAPETag; }
  const TAPETag& APETag() const { return FAPETag; }

private:
  void Clear();
  bool ReadOld(const fileinfo::TReadFile& F);
  bool ReadBlock(const fileinfo::TReadFile& F);
  void SetDuration();

  int64_t FFileSize = 0;
  bool FValid = false;
  int32_t FVersion = 0;
  int32_t FChannels = 0;
  int32_t FSampleRate = 0;
  int32_t FBits = 0;
  int64_t FSamples = 0;
  std::string FEncoder;
  double FBitrate = 0;
  double FDuration = 0;
  TAPETag FAPETag;
};
