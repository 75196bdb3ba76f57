#pragma once
// The Monkey's Audio frame encoder (file version 3990).
//
// A frame is coded on its own: every predictor, filter and coder state starts afresh,
// so frames can be decoded (and sought to) independently. The frame's byte stream is
// the CRC of its PCM, then the range-coded residuals of every block (Y before X for
// stereo). How those bytes are laid out in the file (32-bit words, seek table) is the
// compressor's business (APECompress).

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace MAC {

// The encoder's side of the mid/side pair: X carries the first channel plus half the
// difference, Y the difference.
void SplitStereo(int32_t First, int32_t Second, int32_t& X, int32_t& Y);

// The standard CRC-32 (reflected 0xEDB88320, starting and ending with all ones).
uint32_t Crc32(const uint8_t* Data, size_t Bytes, uint32_t Crc = 0);

// A frame that no decoder could rebuild exactly: a residual beyond 32 bits.
class TEncodeError : public std::runtime_error {
public:
  TEncodeError() : std::runtime_error("a residual does not fit the format") {}
};

class TChannelCoder;
class TRangeEncoder;

class TFrameEncoder {
public:
  // CompressionLevel 1000..5000 in steps of 1000; 8, 16 or 24 bits; 1 or 2 channels.
  TFrameEncoder(int32_t CompressionLevel, int32_t BitsPerSample, int32_t Channels);
  ~TFrameEncoder();
  TFrameEncoder(const TFrameEncoder&) = delete;
  TFrameEncoder& operator=(const TFrameEncoder&) = delete;

  // Codes Blocks blocks of interleaved little-endian PCM (WAV layout: 8-bit unsigned,
  // 16 and 24-bit signed) and appends the frame's bytes to Out. Raises TEncodeError
  // (Out may then hold part of the frame).
  void EncodeFrame(const uint8_t* Pcm, uint32_t Blocks, std::vector<uint8_t>& Out);

private:
  void Unpack(const uint8_t* Pcm, uint32_t Blocks);

  int32_t FBits;
  int32_t FChannels;
  std::unique_ptr<TChannelCoder> FX;
  std::unique_ptr<TChannelCoder> FY;
  std::unique_ptr<TRangeEncoder> FCoder;
  std::vector<int32_t> FDataX;
  std::vector<int32_t> FDataY;
};

}  // namespace MAC
