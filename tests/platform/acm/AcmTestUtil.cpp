#include "tests/platform/acm/AcmTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Tools.h"

namespace acmtest {

using testsupport::Quote;

Encoded MakeEncoded(const std::string& Name, int Rate, int Channels, const std::string& Synth,
                    const std::string& Encoder) {
  const std::string base = testsupport::TempPath(Name), src = base + "_src.wav", enc = base + ".wav",
                    ref = base + ".raw";
  // Repeatable and undithered, so every run encodes the same payload.
  testsupport::Shell("sox -R -D -n -r " + std::to_string(Rate) + " -c " + std::to_string(Channels) + " -b 16 " +
                     Quote(src) + " synth " + Synth);
  testsupport::Shell("ffmpeg -v error -y -i " + Quote(src) + " " + Encoder + " " + Quote(enc));
  testsupport::Shell("ffmpeg -v error -y -i " + Quote(enc) + " -f s16le -acodec pcm_s16le " + Quote(ref));

  // A small RIFF walk for "fmt " and "data".
  Encoded e;
  const std::vector<uint8_t> image = testsupport::ReadFile(enc);
  for (size_t p = 12; p + 8 <= image.size();) {
    const size_t size = testsupport::Le32(image, p + 4), body = p + 8, end = std::min(image.size(), body + size);
    const std::string id(image.begin() + p, image.begin() + p + 4);
    if (id == "fmt ") {
      EXPECT_TRUE(WAVEFORMATEX::FromBytes(&image[body], end - body, e.Format));
    }
    if (id == "data") e.Payload.assign(image.begin() + body, image.begin() + end);
    p = body + size + (size & 1);
  }
  e.Reference = AsInt16(testsupport::ReadFile(ref));
  EXPECT_FALSE(e.Payload.empty() || e.Reference.empty()) << enc;
  return e;
}

MMRESULT ConvertOnce(const HACMSTREAM& Stream, const uint8_t* Src, uint32_t SrcLength, uint8_t* Dst, uint32_t DstLength,
                     uint32_t Flags, uint32_t& SrcUsed, uint32_t& DstUsed) {
  ACMSTREAMHEADER h;
  h.pbSrc = Src;
  h.cbSrcLength = SrcLength;
  h.pbDst = Dst;
  h.cbDstLength = DstLength;
  if (const MMRESULT r = acmStreamPrepareHeader(Stream, h, 0)) return r;
  const MMRESULT r = acmStreamConvert(Stream, h, Flags);
  SrcUsed = h.cbSrcLengthUsed;
  DstUsed = h.cbDstLengthUsed;
  const MMRESULT u = acmStreamUnprepareHeader(Stream, h, 0);
  return r ? r : u;
}

Converted ConvertStream(const HACMSTREAM& Stream, const std::vector<uint8_t>& Payload,
                        const std::vector<size_t>& Chunks, uint32_t Room) {
  Converted c;
  std::vector<uint8_t> src, dst;
  for (size_t pos = 0, next = 0;;) {
    const size_t n = std::min(Chunks[next++ % Chunks.size()], Payload.size() - pos);
    src.insert(src.end(), Payload.begin() + pos, Payload.begin() + pos + n);
    pos += n;
    const bool last = pos == Payload.size();
    do {
      uint32_t room = Room, used = 0, produced = 0;
      if (room == 0 && (c.Result = acmStreamSize(Stream, static_cast<uint32_t>(src.size()), room, 0))) return c;
      if (dst.size() < room) dst.resize(room);
      c.Result = ConvertOnce(Stream, src.data(), static_cast<uint32_t>(src.size()), dst.data(), room,
                             last ? 0 : ACM_STREAMCONVERTF_BLOCKALIGN, used, produced);
      // Damage comes with the last of the output before it.
      c.Out.insert(c.Out.end(), dst.begin(), dst.begin() + produced);
      if (c.Result || ++c.LastConversions > 1000000) return c;
      src.erase(src.begin(), src.begin() + used);
    } while (last && !src.empty());
    if (last) return c;
    c.LastConversions = 0;
  }
}

WAVEFORMATEX PcmFormat(uint16_t Channels, uint32_t Rate, uint16_t Bits) {
  WAVEFORMATEX f;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = Channels;
  f.nSamplesPerSec = Rate;
  f.wBitsPerSample = Bits;
  f.nBlockAlign = static_cast<uint16_t>(Channels * Bits / 8);
  f.nAvgBytesPerSec = Rate * f.nBlockAlign;
  return f;
}

std::vector<uint8_t> Noise(size_t Bytes, uint32_t Seed) {
  std::vector<uint8_t> b(Bytes);
  for (auto& x : b) x = static_cast<uint8_t>((Seed = Seed * 1664525u + 1013904223u) >> 24);
  return b;
}

}  // namespace acmtest
