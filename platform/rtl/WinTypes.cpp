#include "platform/rtl/WinTypes.h"

#include <algorithm>
#include <utility>

namespace {

constexpr size_t kFormatBytes = 18;

uint16_t Get16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | P[1] << 8); }
uint32_t Get32(const uint8_t* P) { return Get16(P) | static_cast<uint32_t>(Get16(P + 2)) << 16; }
void Put16(uint8_t* P, uint16_t V) {
  P[0] = static_cast<uint8_t>(V);
  P[1] = static_cast<uint8_t>(V >> 8);
}
void Put32(uint8_t* P, uint32_t V) {
  Put16(P, static_cast<uint16_t>(V));
  Put16(P + 2, static_cast<uint16_t>(V >> 16));
}

}  // namespace

bool WAVEFORMATEX::FromBytes(const uint8_t* Data, size_t Size, WAVEFORMATEX& Format) {
  if (Data == nullptr || Size < 16) return false;
  const size_t extra = Size >= kFormatBytes ? Get16(Data + 16) : 0;
  if (kFormatBytes + extra > Size && extra > 0) return false;
  WAVEFORMATEX f;
  f.wFormatTag = Get16(Data);
  f.nChannels = Get16(Data + 2);
  f.nSamplesPerSec = Get32(Data + 4);
  f.nAvgBytesPerSec = Get32(Data + 8);
  f.nBlockAlign = Get16(Data + 12);
  f.wBitsPerSample = Get16(Data + 14);
  f.Extra.assign(Data + kFormatBytes, Data + kFormatBytes + extra);
  Format = std::move(f);
  return true;
}

std::vector<uint8_t> WAVEFORMATEX::ToBytes() const {
  std::vector<uint8_t> b(kFormatBytes + Extra.size());
  Put16(b.data(), wFormatTag);
  Put16(b.data() + 2, nChannels);
  Put32(b.data() + 4, nSamplesPerSec);
  Put32(b.data() + 8, nAvgBytesPerSec);
  Put16(b.data() + 12, nBlockAlign);
  Put16(b.data() + 14, wBitsPerSample);
  Put16(b.data() + 16, cbSize());
  std::copy(Extra.begin(), Extra.end(), b.begin() + kFormatBytes);
  return b;
}
