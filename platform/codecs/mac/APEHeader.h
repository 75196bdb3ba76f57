#pragma once
// The head of a Monkey's Audio file: its descriptor and header (version 3980 and later)
// or the older single header, and the seek table. Reading checks every count and
// offset against the file's real size before anything relies on it.

#include <cstdint>
#include <functional>
#include <vector>

namespace MAC {

inline constexpr uint16_t FormatFlag8Bit = 1;
inline constexpr uint16_t FormatFlagHasPeakLevel = 4;
inline constexpr uint16_t FormatFlag24Bit = 8;
inline constexpr uint16_t FormatFlagHasSeekElements = 16;
inline constexpr uint16_t FormatFlagCreateWavHeader = 32;

inline constexpr uint32_t DescriptorBytes = 52;
inline constexpr uint32_t HeaderBytes = 24;

// The oldest and newest file versions the decoder reads.
inline constexpr int32_t OldestVersion = 3800;
inline constexpr int32_t NewestVersion = 3990;

struct TAPEFileInfo {
  int64_t JunkBytes = 0;  // a leading ID3v2 tag
  int32_t Version = 0;
  int32_t CompressionLevel = 0;
  int32_t FormatFlags = 0;
  int32_t BitsPerSample = 0;
  int32_t Channels = 0;
  int32_t SampleRate = 0;
  uint32_t BlocksPerFrame = 0;
  uint32_t FinalFrameBlocks = 0;
  uint32_t TotalFrames = 0;
  uint32_t WavHeaderBytes = 0;
  uint32_t TerminatingBytes = 0;
  int64_t FirstFramePos = 0;  // file offset of the first frame
  std::vector<uint32_t> SeekTable;

  int64_t TotalBlocks() const {
    return TotalFrames == 0 ? 0 : int64_t{TotalFrames - 1} * BlocksPerFrame + FinalFrameBlocks;
  }
  int32_t BlockAlign() const { return Channels * (BitsPerSample / 8); }
};

// Reads Bytes bytes at Offset; false when the file cannot give them all.
using TReadAt = std::function<bool(uint64_t Offset, void* Buffer, size_t Bytes)>;

// Parses the head of a file of FileSize bytes. Returns 0, ERROR_INVALID_INPUT_FILE for
// anything that is not a sound APE file, or ERROR_UNSUPPORTED_FILE_TYPE (and the
// bit-depth / channel codes) for a valid file this library cannot decode.
int32_t ParseAPEHead(const TReadAt& ReadAt, uint64_t FileSize, TAPEFileInfo& Info);

// The descriptor and header of a version 3990 file.
struct TAPEHeadFields {
  uint16_t CompressionLevel;
  uint16_t FormatFlags;
  uint32_t BlocksPerFrame;
  uint32_t FinalFrameBlocks;
  uint32_t TotalFrames;
  uint16_t BitsPerSample;
  uint16_t Channels;
  uint32_t SampleRate;
  uint32_t SeekTableBytes;
  uint32_t WavHeaderBytes;
  uint64_t FrameDataBytes;
  uint32_t TerminatingBytes;
  uint8_t MD5[16];
};
// The 24-byte header alone (the MD5 covers it).
void BuildAPEHeader(const TAPEHeadFields& F, uint8_t (&Out)[HeaderBytes]);
// Descriptor followed by header: 76 bytes.
void BuildAPEHead(const TAPEHeadFields& F, uint8_t (&Out)[DescriptorBytes + HeaderBytes]);

}  // namespace MAC
