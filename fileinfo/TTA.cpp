#include "fileinfo/TTA.h"

#include <cstring>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"

using namespace fileinfo;

namespace {

constexpr int64_t HeaderSize = 22;  // "TTA1", format, channels, bits, rate, samples, checksum

}  // namespace

void TTTA::Clear() {
  FFileSize = 0;
  FValid = false;
  FChannels = 0;
  FBits = 0;
  FSampleRate = 0;
  FSamples = 0;
  FBitrate = 0;
  FDuration = 0;
}

bool TTTA::ReadFromFile(const std::string& FileName) {
  Clear();
  FID3v2.ReadFromFile(FileName);
  FID3v1.ReadFromFile(FileName);
  FAPETag.ReadFromFile(FileName);
  TReadFile f(FileName);
  if (!f.IsOpen()) return false;
  FFileSize = f.Size();
  const int64_t start = FID3v2.Exists() ? FID3v2.Size() : 0;
  unsigned char h[HeaderSize];
  if (!f.ReadAt(start, h, 4) || std::memcmp(h, "TTA1", 4) != 0) return false;
  if (!f.ReadAt(start, h, HeaderSize)) return false;
  FValid = true;
  FChannels = GetLE16(h + 6);
  FBits = GetLE16(h + 8);
  FSampleRate = static_cast<int32_t>(GetLE32(h + 10) & 0x7FFFFFFF);
  FSamples = GetLE32(h + 14);
  FDuration = (FSamples > 0 && FSampleRate > 0) ? static_cast<double>(FSamples) / FSampleRate : 0;
  FBitrate = FDuration > 0 ? FFileSize * 8.0 / FDuration / 1000.0 : 0;
  return true;
}
