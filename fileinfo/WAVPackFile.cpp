#include "fileinfo/WAVPackFile.h"

#include <cstring>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/Riff.h"
#include "platform/rtl/StrUtils.h"

using namespace fileinfo;

namespace {

const int32_t SampleRates[15] = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                 32000, 44100, 48000, 64000, 88200, 96000, 192000};

// Flags of the old (version 1 to 3) header.
constexpr uint16_t v3Mono = 0x1, v3High = 0x10, v3Correction = 0x80, v3NewHigh = 0x400,
                   v3ExtremeDecorr = 0x8000;
constexpr int64_t V3HeaderSize = 32;

// Flags of the block header.
constexpr uint32_t v4BytesMask = 0x3, v4Mono = 0x4, v4Hybrid = 0x8;
constexpr int v4RateShift = 23;
constexpr int64_t BlockHeaderSize = 32;
constexpr int64_t ModeSearchSize = 4096;

// Metadata sub-blocks of a block.
// (The odd-size bit 0x40 only shortens the data, not the step to the next one.)
constexpr uint8_t idLarge = 0x80, idFunction = 0x3F, idConfig = 0x25;
// The encoder's mode in the first byte of the configuration (its flags >> 8).
constexpr uint8_t cfgFast = 0x02, cfgVeryFast = 0x04, cfgHigh = 0x08;

// The encoder's mode from the configuration sub-block among the first bytes
// of the first block; empty when it is not there.
std::string FindMode(const TReadFile& F, int64_t BlockEnd) {
  int64_t end = BlockEnd < ModeSearchSize ? BlockEnd : ModeSearchSize;
  if (end > F.Size()) end = F.Size();
  std::string b;
  if (!F.ReadAt(0, end, b)) return std::string();
  const auto* d = reinterpret_cast<const unsigned char*>(b.data());
  int64_t p = BlockHeaderSize;
  while (end - p >= 2) {
    const uint8_t id = d[p];
    int64_t size = int64_t(d[p + 1]) * 2;
    int64_t head = 2;
    if (id & idLarge) {
      if (end - p < 4) break;
      size = int64_t{GetLE24(d + p + 1)} * 2;
      head = 4;
    }
    if ((id & idFunction) == idConfig && size >= 1 && end - p - head >= 1) {
      const uint8_t cfg = d[p + head];
      if (cfg & cfgHigh) return " (high)";
      if ((cfg & cfgFast) && (cfg & cfgVeryFast)) return " (very fast)";
      if (cfg & cfgFast) return " (fast)";
      return " (normal)";
    }
    p += head + size;
  }
  return std::string();
}

}  // namespace

void TWAVPackfile::Clear() {
  FFileSize = 0;
  FValid = false;
  FVersion = 0;
  FChannels = 0;
  FSampleRate = 0;
  FBits = 0;
  FSamples = 0;
  FEncoder.clear();
  FBitrate = 0;
  FDuration = 0;
}

void TWAVPackfile::SetDuration() {
  FDuration = (FSamples > 0 && FSampleRate > 0) ? static_cast<double>(FSamples) / FSampleRate : 0;
  FBitrate = FDuration > 0 ? FFileSize * 8.0 / FDuration / 1000.0 : 0;
}

bool TWAVPackfile::ReadOld(const TReadFile& F) {
  unsigned char riff[12];
  if (!F.ReadAt(0, riff, 12) || std::memcmp(riff + 8, "WAVE", 4) != 0) return false;
  int64_t pos = 12;
  for (;;) {
    unsigned char ck[RiffChunkHeaderSize];
    if (!F.ReadAt(pos, ck, RiffChunkHeaderSize)) return false;
    const uint32_t size = RiffChunkSize(ck);
    const int64_t data = pos + RiffChunkHeaderSize;
    if (std::memcmp(ck, "fmt ", 4) == 0) {
      unsigned char fmt[16];
      if (size < 16 || !F.ReadAt(data, fmt, 16)) return false;
      FChannels = GetLE16(fmt + 2);
      FSampleRate = static_cast<int32_t>(GetLE32(fmt + 4) & 0x7FFFFFFF);
      FBits = GetLE16(fmt + 14);
    } else if (std::memcmp(ck, "data", 4) == 0) {
      // The old encoder put its header right after the data chunk's header.
      unsigned char h[V3HeaderSize];
      if (!F.ReadAt(data, h, V3HeaderSize) || std::memcmp(h, "wvpk", 4) != 0) return false;
      const uint16_t version = GetLE16(h + 8);
      const uint16_t bits = GetLE16(h + 10);
      const uint16_t flags = GetLE16(h + 12);
      FVersion = version;
      FChannels = (flags & v3Mono) ? 1 : 2;
      FSamples = GetLE32(h + 16);
      if (bits == 0) {
        if (!(flags & v3High)) FEncoder = "lossless (fast mode)";
        else if (flags & v3ExtremeDecorr) FEncoder = "lossless (high mode)";
        else FEncoder = "lossless";
      } else if (flags & v3NewHigh) {
        FEncoder = std::string("hybrid") + ((flags & v3Correction) ? " lossless" : " lossy");
        if (flags & v3ExtremeDecorr) FEncoder += " (high)";
      } else {
        FEncoder = IntToStr(bits) + "-bit lossy";
      }
      FValid = true;
      SetDuration();
      return true;
    }
    // Chunks are padded to an even size; the walk stays inside the file.
    const int64_t step = RiffPaddedSize(size);
    if (step > F.Size() - data) return false;
    pos = data + step;
  }
}

bool TWAVPackfile::ReadBlock(const TReadFile& F) {
  unsigned char h[BlockHeaderSize];
  if (!F.ReadAt(0, h, BlockHeaderSize)) return false;
  const uint32_t flags = GetLE32(h + 24);
  const uint32_t total = GetLE32(h + 12);
  FValid = true;
  FVersion = GetLE16(h + 8);
  FChannels = (flags & v4Mono) ? 1 : 2;
  const uint32_t rateIndex = (flags >> v4RateShift) & 0xF;
  FSampleRate = rateIndex < 15 ? SampleRates[rateIndex] : 44100;
  FBits = static_cast<int32_t>((flags & v4BytesMask) + 1) * 8;
  // All ones marks a length the encoder did not know.
  FSamples = total == 0xFFFFFFFFu ? 0 : total;
  FEncoder = (flags & v4Hybrid) ? "hybrid lossy" : "lossless";
  FEncoder += FindMode(F, 8 + int64_t(GetLE32(h + 4)));
  SetDuration();
  return true;
}

bool TWAVPackfile::ReadFromFile(const std::string& FileName) {
  Clear();
  FAPETag.ReadFromFile(FileName);
  TReadFile f(FileName);
  if (!f.IsOpen()) return false;
  FFileSize = f.Size();
  char mark[4];
  if (!f.ReadAt(0, mark, 4)) return false;
  if (std::memcmp(mark, "RIFF", 4) == 0) return ReadOld(f);
  if (std::memcmp(mark, "wvpk", 4) == 0) return ReadBlock(f);
  return false;
}
