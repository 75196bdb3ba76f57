#include "platform/rtl/WinTypes.h"

#include <algorithm>
#include <utility>

#include "platform/rtl/ByteOrder.h"

namespace {

constexpr size_t kFormatBytes = 18;

}  // namespace

bool WAVEFORMATEX::FromBytes(const uint8_t* Data, size_t Size, WAVEFORMATEX& Format) {
  if (Data == nullptr || Size < 16) return false;
  const size_t extra = Size >= kFormatBytes ? GetLE16(Data + 16) : 0;
  if (kFormatBytes + extra > Size && extra > 0) return false;
  WAVEFORMATEX f;
  f.wFormatTag = GetLE16(Data);
  f.nChannels = GetLE16(Data + 2);
  f.nSamplesPerSec = GetLE32(Data + 4);
  f.nAvgBytesPerSec = GetLE32(Data + 8);
  f.nBlockAlign = GetLE16(Data + 12);
  f.wBitsPerSample = GetLE16(Data + 14);
  f.Extra.assign(Data + kFormatBytes, Data + kFormatBytes + extra);
  Format = std::move(f);
  return true;
}

std::vector<uint8_t> WAVEFORMATEX::ToBytes() const {
  std::vector<uint8_t> b(kFormatBytes + Extra.size());
  PutLE16(b.data(), wFormatTag);
  PutLE16(b.data() + 2, nChannels);
  PutLE32(b.data() + 4, nSamplesPerSec);
  PutLE32(b.data() + 8, nAvgBytesPerSec);
  PutLE16(b.data() + 12, nBlockAlign);
  PutLE16(b.data() + 14, wBitsPerSample);
  PutLE16(b.data() + 16, cbSize());
  std::copy(Extra.begin(), Extra.end(), b.begin() + kFormatBytes);
  return b;
}
