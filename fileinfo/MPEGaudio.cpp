#include "fileinfo/MPEGaudio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "fileinfo/TagFileIO.h"
#include "platform/rtl/ByteOrder.h"
#include "platform/rtl/ID3v2Format.h"
#include "platform/rtl/MPEGAudioFormat.h"

using namespace fileinfo;

namespace {

// How far past the ID3v2 tags the first frame is looked for, as the reader does.
constexpr int64_t MaxJunk = 64 * 1024;
// Room for the longest frame after the last place looked at, and its successor's header.
constexpr int64_t MaxFrameBytes = 2888;
// The header bits that two frames of one stream share: sync, version, layer, sample
// rate, channel mode, copyright, original and emphasis.
constexpr uint32_t SameStreamMask = 0xFFFE0CCF;
// The decoder's own delay, which comes on top of the encoder delay a LAME tag tells.
constexpr int64_t DecoderDelay = 529;

// Where the audio ends: before an ID3v1 block and an APEv2 tag at the end of the file.
int64_t AudioEnd(const TReadFile& F) {
  int64_t end = F.Size();
  uint8_t b[32];
  if (end >= 128 && F.ReadAt(end - 128, b, 3) && std::memcmp(b, "TAG", 3) == 0) end -= 128;
  if (end >= 32 && F.ReadAt(end - 32, b, 32) && std::memcmp(b, "APETAGEX", 8) == 0) {
    const int64_t bytes = static_cast<int64_t>(GetLE32(b + 12)) + ((GetLE32(b + 20) & 0x80000000u) ? 32 : 0);
    if (bytes <= end) end -= bytes;
  }
  return end;
}

}  // namespace

void TMPEGaudio::Clear() { *this = TMPEGaudio(); }

bool TMPEGaudio::ReadFromFile(const std::string& FileName) {
  Clear();
  TReadFile f(FileName);
  if (!f.IsOpen()) return false;
  const int64_t size = f.Size();

  // ID3v2 tags, one after another.
  int64_t start = 0;
  uint8_t tag[ID3v2HeaderSize];
  for (TID3v2Header id3; f.ReadAt(start, tag, ID3v2HeaderSize) && ReadID3v2Header(tag, id3);) start += id3.Size();
  if (start >= size) return false;
  std::vector<uint8_t> b(static_cast<size_t>(std::min(size - start, MaxJunk + MaxFrameBytes)));
  if (!f.ReadAt(start, b.data(), static_cast<int64_t>(b.size()))) return false;
  const auto be32 = [&b](size_t P) { return P + 4 <= b.size() ? GetBE32(&b[P]) : 0u; };
  const auto is = [&b](size_t P, const char* Id) { return P + 4 <= b.size() && std::memcmp(&b[P], Id, 4) == 0; };

  // A layer III frame at the start may be the encoder's header frame instead of audio:
  // Xing or Info (with a LAME tag), or VBRI. It need not have the audio's channel mode.
  size_t audio = 0;
  int64_t frames = 0, announced = 0, trimStart = 0, trimEnd = 0;
  TMPEGFrameHeader h;
  if (DecodeMPEGFrameHeader(be32(0), h) && h.Bytes > 0 && h.Layer == 3) {
    const size_t tag = 4 + (h.Lsf ? (h.Channels == 1 ? 9 : 17) : (h.Channels == 1 ? 17 : 32));
    int64_t bytes = 0;
    bool lame = false;
    int64_t encoderDelay = 0, padding = 0;
    if (is(tag, "Xing") || is(tag, "Info")) {
      const uint32_t flags = be32(tag + 4);
      size_t p = tag + 8;
      if (flags & 1) frames = be32(p), p += 4;
      if (flags & 2) bytes = be32(p), p += 4;
      if (flags & 4) p += 100;  // table of contents
      if (flags & 8) p += 4;    // quality
      // A stream much longer than the header says is files joined after it was written.
      const int64_t after = size - start - 4;
      if (bytes > 0 && after > bytes && after - bytes > bytes >> 4) frames = 0;
      // Encoder version (9 bytes), then at 21 the encoder delay and padding (12 bits each).
      if (p + 24 <= b.size() && (is(p, "LAME") || is(p, "Lavf") || is(p, "Lavc"))) {
        const uint32_t v = (b[p + 21] << 16) | (b[p + 22] << 8) | b[p + 23];
        lame = true;
        encoderDelay = v >> 12;
        padding = v & 0xFFF;
      }
    }
    if (is(36, "VBRI") && b.size() >= 54 && GetBE16(&b[40]) == 1) {
      bytes = be32(46);
      frames = be32(50);
    }
    if (frames > 0 || bytes > 0) audio = static_cast<size_t>(h.Bytes);
    announced = frames * h.SamplesPerFrame;
    if (lame) {
      trimStart = encoderDelay + DecoderDelay;
      if (frames > 0) trimEnd = std::max<int64_t>(padding - DecoderDelay, 0);
    }
  }

  // The first audio frame whose successor starts where its length says, with the same
  // format. Free-format frames do not tell where the next one starts.
  for (TMPEGFrameHeader next;; ++audio) {
    if (audio >= static_cast<size_t>(MaxJunk) || audio + 4 > b.size()) return false;
    const uint32_t v = be32(audio);
    if (!DecodeMPEGFrameHeader(v, h) || h.Bytes == 0) continue;
    const uint32_t w = be32(audio + static_cast<size_t>(h.Bytes));
    if (DecodeMPEGFrameHeader(w, next) && next.Bytes > 0 && (v & SameStreamMask) == (w & SameStreamMask)) break;
  }
  // Without a count, the frames of the first one's bit rate from there to the end; a
  // bit rate that changes within the bytes read tells no length.
  FCounted = frames > 0;
  if (!FCounted) {
    TMPEGFrameHeader later;
    for (size_t p = audio; DecodeMPEGFrameHeader(be32(p), later) && later.Bytes > 0; p += later.Bytes)
      if (later.Kbps != h.Kbps) return false;
    const double frameBytes = static_cast<double>(h.SamplesPerFrame) / 8 * h.Kbps * 1000 / h.Rate;
    const int64_t audioBytes = AudioEnd(f) - start - static_cast<int64_t>(audio);
    frames = std::llround(static_cast<double>(std::max<int64_t>(audioBytes, 0)) / frameBytes);
    announced = frames * h.SamplesPerFrame;
  }
  FFrames = frames;
  FValid = true;
  FSampleRate = h.Rate;
  FChannels = h.Channels;
  FLayer = h.Layer;
  FBitrate = h.Kbps;
  trimStart = std::min(trimStart, announced);
  trimEnd = std::min(trimEnd, announced - trimStart);
  FSamples = announced - trimStart - trimEnd;
  return true;
}
