#pragma once
// The TTA1 bitstream: header, seek table and frame coding, with no file access.
//
// A frame holds FrameLength sample frames (the last one fewer). Every channel is coded
// on its own after inter-channel decorrelation: a fixed first-order predictor, an
// adaptive eight-tap sign-LMS filter, and an adaptive Rice code with two parameters.
// Each frame starts from a fresh state and ends, byte-aligned, with its CRC32.
//
// All sample arithmetic wraps modulo 2^32, as the format's reference coders do, so
// that any 32-bit input round-trips.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace TTALib::Codec {

inline constexpr size_t HeaderSize = 22;

uint32_t Crc32(const uint8_t* Data, size_t Size, uint32_t Crc = 0);

struct Header {
  uint16_t Format = 0;
  uint16_t Channels = 0;
  uint16_t Bits = 0;
  uint32_t SampleRate = 0;
  uint32_t DataLength = 0; // sample frames per channel
};

// 256/245 of the sample rate, about 1.045 seconds.
inline uint32_t FrameLength(uint32_t SampleRate) {
  return static_cast<uint32_t>(uint64_t{256} * SampleRate / 245);
}
inline uint32_t FrameCount(uint64_t DataLength, uint32_t FrameLen) {
  return static_cast<uint32_t>((DataLength + FrameLen - 1) / FrameLen);
}

void WriteHeader(const Header& H, uint8_t* Out);           // HeaderSize bytes
// False when the signature or the CRC is wrong.
bool ReadHeader(const uint8_t* In, Header& H);

// Bytes of a leading ID3v2 tag in the first ten bytes given (0 when none).
uint64_t Id3v2Size(const uint8_t* In, size_t Size);

// Bytes per sample and the coder's settings for a header's format and bits; false when
// the combination is not one this library codes.
bool ValidFormat(uint32_t Format, uint32_t Bits, uint32_t Channels, uint32_t SampleRate);
inline uint32_t ByteSize(uint32_t Bits) { return (Bits + 7) / 8; }

// Bijection between the bits of an IEEE-754 single and an integer that grows with the
// float's value, so that neighbouring floats give small differences.
inline int32_t FloatBitsToInt(uint32_t B) {
  return (B & 0x80000000u) ? static_cast<int32_t>(~(B & 0x7FFFFFFFu)) : static_cast<int32_t>(B);
}
inline uint32_t IntToFloatBits(int32_t I) {
  return I < 0 ? (~static_cast<uint32_t>(I)) | 0x80000000u : static_cast<uint32_t>(I);
}

// A growable byte buffer that does not clear what it adds.
class ByteBuffer {
public:
  uint8_t* Data() { return FData.get(); }
  const uint8_t* Data() const { return FData.get(); }
  size_t Size() const { return FSize; }
  void Clear() { FSize = 0; }
  // Sets the size, keeping the bytes before it.
  void Resize(size_t N) {
    if (N > FCapacity) Grow(N);
    FSize = N;
  }

private:
  void Grow(size_t N);
  std::unique_ptr<uint8_t[]> FData;
  size_t FSize = 0;
  size_t FCapacity = 0;
};

// Four lanes of the filter's taps; the compiler maps them onto SIMD registers.
typedef uint32_t Lanes __attribute__((vector_size(16)));
typedef int32_t SignedLanes __attribute__((vector_size(16)));

// Coding state of one channel, fresh at the start of every frame.
struct ChannelState {
  // adaptive filter: weights, their steps and the input's differences, taps 0-3 and 4-7
  Lanes QmLo, QmHi, DxLo, DxHi, DlLo, DlHi;
  int32_t Error;
  // Rice parameters
  uint32_t K0, K1, Sum0, Sum1;
  // fixed predictor
  int32_t Last;
};

// Codes frames of one stream. Samples are interleaved int32 rows of Channels values.
class FrameCoder {
public:
  FrameCoder(uint32_t Channels, uint32_t ByteSize);

  // Appends the frame's bytes (CRC included) to Out. Samples is changed.
  void Encode(int32_t* Samples, uint32_t Frames, ByteBuffer& Out);
  // Decodes Frames sample frames from a whole frame of Size bytes (CRC included). In
  // must be readable for 16 bytes past Size. False when the frame is damaged.
  bool Decode(const uint8_t* In, size_t Size, uint32_t Frames, int32_t* Samples);

private:
  void Reset();

  uint32_t FChannels;
  uint32_t FByteSize;
  int32_t FShift;
  int32_t FRound;
  std::vector<ChannelState> FState;
  std::vector<int32_t> FRaw; // a float frame as given, for storing it uncoded
};

} // namespace TTALib::Codec
