#include "platform/codecs/mac/APEHeader.h"

#include <cstring>

#include "platform/codecs/mac/MACDll.h"

namespace MAC {

namespace {

uint16_t Get16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }
uint32_t Get32(const uint8_t* P) {
  return uint32_t{P[0]} | (uint32_t{P[1]} << 8) | (uint32_t{P[2]} << 16) | (uint32_t{P[3]} << 24);
}
void Put16(uint8_t* P, uint32_t V) {
  P[0] = static_cast<uint8_t>(V);
  P[1] = static_cast<uint8_t>(V >> 8);
}
void Put32(uint8_t* P, uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = static_cast<uint8_t>(V >> (8 * i));
}

// A rate beyond 31 bits reads as 0, which is refused.
int32_t SampleRate(uint32_t V) { return V > 0x7FFFFFFFu ? 0 : static_cast<int32_t>(V); }

// Larger frames would only serve to make a decoder allocate without bound.
constexpr uint32_t MaxBlocksPerFrame = 1u << 24;

// The length of an ID3v2 tag at the start of the file, or 0.
int64_t LeadingID3v2(const TReadAt& ReadAt, uint64_t FileSize) {
  uint8_t h[10];
  if (FileSize < 10 || !ReadAt(0, h, 10)) return 0;
  if (std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF) return 0;
  if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return 0;
  const int64_t size = (int64_t{h[6]} << 21) | (int64_t{h[7]} << 14) | (int64_t{h[8]} << 7) | h[9];
  const int64_t total = 10 + size + ((h[5] & 0x10) ? 10 : 0);
  return total < static_cast<int64_t>(FileSize) ? total : 0;
}

}  // namespace

int32_t ParseAPEHead(const TReadAt& ReadAt, uint64_t FileSize, TAPEFileInfo& Info) {
  using namespace MACDll;
  Info = TAPEFileInfo();
  const int64_t size = static_cast<int64_t>(FileSize);
  if (size < 0) return ERROR_INVALID_INPUT_FILE;
  const int64_t junk = LeadingID3v2(ReadAt, FileSize);
  Info.JunkBytes = junk;

  uint8_t id[6];
  if (junk + 6 > size || !ReadAt(static_cast<uint64_t>(junk), id, 6)) return ERROR_INVALID_INPUT_FILE;
  if (std::memcmp(id, "MAC ", 4) != 0) return ERROR_INVALID_INPUT_FILE;
  Info.Version = Get16(id + 4);
  if (Info.Version < OldestVersion || Info.Version > NewestVersion) return ERROR_UNSUPPORTED_FILE_TYPE;

  int64_t seekTablePos;
  uint64_t seekTableBytes;
  if (Info.Version >= 3980) {
    uint8_t d[DescriptorBytes];
    if (junk + DescriptorBytes > size || !ReadAt(static_cast<uint64_t>(junk), d, sizeof d))
      return ERROR_INVALID_INPUT_FILE;
    const uint32_t descBytes = Get32(d + 8);
    const uint32_t headBytes = Get32(d + 12);
    seekTableBytes = Get32(d + 16);
    Info.WavHeaderBytes = Get32(d + 20);
    Info.TerminatingBytes = Get32(d + 32);
    if (descBytes < DescriptorBytes || headBytes < HeaderBytes) return ERROR_INVALID_INPUT_FILE;
    const int64_t headPos = junk + descBytes;
    uint8_t h[HeaderBytes];
    if (headPos + HeaderBytes > size || !ReadAt(static_cast<uint64_t>(headPos), h, sizeof h))
      return ERROR_INVALID_INPUT_FILE;
    Info.CompressionLevel = Get16(h);
    Info.FormatFlags = Get16(h + 2);
    Info.BlocksPerFrame = Get32(h + 4);
    Info.FinalFrameBlocks = Get32(h + 8);
    Info.TotalFrames = Get32(h + 12);
    Info.BitsPerSample = Get16(h + 16);
    Info.Channels = Get16(h + 18);
    Info.SampleRate = SampleRate(Get32(h + 20));
    seekTablePos = headPos + headBytes;
    Info.FirstFramePos = seekTablePos + static_cast<int64_t>(seekTableBytes) + Info.WavHeaderBytes;
  } else {
    uint8_t h[32];
    if (junk + 32 > size || !ReadAt(static_cast<uint64_t>(junk), h, sizeof h)) return ERROR_INVALID_INPUT_FILE;
    Info.CompressionLevel = Get16(h + 6);
    Info.FormatFlags = Get16(h + 8);
    Info.Channels = Get16(h + 10);
    Info.SampleRate = SampleRate(Get32(h + 12));
    Info.WavHeaderBytes = Get32(h + 16);
    Info.TerminatingBytes = Get32(h + 20);
    Info.TotalFrames = Get32(h + 24);
    Info.FinalFrameBlocks = Get32(h + 28);
    int64_t headBytes = 32;
    if (Info.FormatFlags & FormatFlagHasPeakLevel) headBytes += 4;
    if (Info.FormatFlags & FormatFlagHasSeekElements) {
      uint8_t n[4];
      if (junk + headBytes + 4 > size || !ReadAt(static_cast<uint64_t>(junk + headBytes), n, 4))
        return ERROR_INVALID_INPUT_FILE;
      seekTableBytes = uint64_t{Get32(n)} * 4;
      headBytes += 4;
    } else {
      seekTableBytes = uint64_t{Info.TotalFrames} * 4;
    }
    Info.BitsPerSample =
        (Info.FormatFlags & FormatFlag8Bit) ? 8 : (Info.FormatFlags & FormatFlag24Bit) ? 24 : 16;
    if (Info.Version >= 3950)
      Info.BlocksPerFrame = 73728 * 4;
    else if (Info.Version >= 3900 || Info.CompressionLevel >= 4000)
      Info.BlocksPerFrame = 73728;
    else
      Info.BlocksPerFrame = 9216;
    // An old file keeps its WAV header between the header and the seek table.
    const int64_t wav = (Info.FormatFlags & FormatFlagCreateWavHeader) ? 0 : Info.WavHeaderBytes;
    seekTablePos = junk + headBytes + wav;
    Info.FirstFramePos = junk + headBytes + static_cast<int64_t>(seekTableBytes) + Info.WavHeaderBytes;
    if (Info.Version < 3810) Info.FirstFramePos += Info.TotalFrames;
  }

  // What this library decodes.
  if (Info.CompressionLevel <= 0 || Info.CompressionLevel > 5000 || Info.CompressionLevel % 1000 != 0 ||
      (Info.Version < 3930 && Info.CompressionLevel == 5000))
    return ERROR_UNSUPPORTED_FILE_TYPE;
  if (Info.BitsPerSample != 8 && Info.BitsPerSample != 16 && Info.BitsPerSample != 24)
    return ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH;
  if (Info.Channels < 1 || Info.Channels > 2) return ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT;
  if (Info.SampleRate <= 0) return ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE;

  // Counts and offsets against the file.
  if (Info.BlocksPerFrame == 0 || Info.BlocksPerFrame > MaxBlocksPerFrame) return ERROR_INVALID_INPUT_FILE;
  if (Info.FinalFrameBlocks > Info.BlocksPerFrame) return ERROR_INVALID_INPUT_FILE;
  if (Info.TotalFrames > 0 && Info.FinalFrameBlocks == 0) return ERROR_INVALID_INPUT_FILE;
  if (seekTableBytes / 4 < Info.TotalFrames) return ERROR_INVALID_INPUT_FILE;
  if (seekTablePos + static_cast<int64_t>(seekTableBytes) > size || Info.FirstFramePos > size)
    return ERROR_INVALID_INPUT_FILE;
  // Every frame needs at least its CRC.
  if (static_cast<int64_t>(Info.TotalFrames) * 4 > size - Info.FirstFramePos) return ERROR_INVALID_INPUT_FILE;

  Info.SeekTable.resize(Info.TotalFrames);
  if (Info.TotalFrames > 0) {
    std::vector<uint8_t> raw(size_t{Info.TotalFrames} * 4);
    if (!ReadAt(static_cast<uint64_t>(seekTablePos), raw.data(), raw.size())) return ERROR_INVALID_INPUT_FILE;
    // Later frames past the end of the file belong to a file cut short: the ones before
    // the cut still decode, reading the others fails. The first must be there.
    for (uint32_t i = 0; i < Info.TotalFrames; ++i) {
      Info.SeekTable[i] = Get32(raw.data() + 4 * size_t{i});
      if (i == 0 && junk + Info.SeekTable[0] > size) return ERROR_INVALID_INPUT_FILE;
      if (i > 0 && Info.SeekTable[i] < Info.SeekTable[i - 1]) return ERROR_INVALID_INPUT_FILE;
    }
  }
  return ERROR_SUCCESS;
}

void BuildAPEHeader(const TAPEHeadFields& F, uint8_t (&Out)[HeaderBytes]) {
  Put16(Out, F.CompressionLevel);
  Put16(Out + 2, F.FormatFlags);
  Put32(Out + 4, F.BlocksPerFrame);
  Put32(Out + 8, F.FinalFrameBlocks);
  Put32(Out + 12, F.TotalFrames);
  Put16(Out + 16, F.BitsPerSample);
  Put16(Out + 18, F.Channels);
  Put32(Out + 20, F.SampleRate);
}

void BuildAPEHead(const TAPEHeadFields& F, uint8_t (&Out)[DescriptorBytes + HeaderBytes]) {
  std::memset(Out, 0, sizeof Out);
  std::memcpy(Out, "MAC ", 4);
  Put16(Out + 4, MACDll::MAC_VERSION_NUMBER);
  Put32(Out + 8, DescriptorBytes);
  Put32(Out + 12, HeaderBytes);
  Put32(Out + 16, F.SeekTableBytes);
  Put32(Out + 20, F.WavHeaderBytes);
  Put32(Out + 24, static_cast<uint32_t>(F.FrameDataBytes));
  Put32(Out + 28, static_cast<uint32_t>(F.FrameDataBytes >> 32));
  Put32(Out + 32, F.TerminatingBytes);
  std::memcpy(Out + 36, F.MD5, 16);
  uint8_t h[HeaderBytes];
  BuildAPEHeader(F, h);
  std::memcpy(Out + DescriptorBytes, h, HeaderBytes);
}

}  // namespace MAC
