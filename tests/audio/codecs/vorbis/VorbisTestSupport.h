#pragma once
// Fixtures and tool runs of the Ogg Vorbis tests: raw PCM made by sox, files made and
// checked by oggenc, oggdec, ogginfo and vorbiscomment, our output driven through the
// pipeline, and Ogg pages taken apart for damaged files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/codecs/vorbis/TSL_Vorbis.h"
#include "platform/rtl/StrUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

namespace vorbistest {

// Raw 16-bit pink noise from sox in the process's folder: it fills many Ogg pages.
inline std::string MakeNoise(const std::string& Name, int32_t Channels, int32_t Rate, double Seconds) {
  return testsupport::SynthRaw(testsupport::TempPath(Name), 16, Channels, Rate,
                               std::to_string(Seconds) + " pinknoise vol 0.5");
}

// Raw little-endian PCM from sox in the process's folder, one tone per channel so that
// channels differ. The tones are low enough for a low-frequency effects channel to keep.
inline std::string MakeRaw(const std::string& Name, int32_t Bits, int32_t Channels, int32_t Rate,
                           double Seconds) {
  std::string gens;
  for (int32_t c = 0; c < Channels; ++c) gens += " sine " + std::to_string(50 + 15 * c);
  return testsupport::SynthRaw(testsupport::TempPath(Name), Bits, Channels, Rate,
                               std::to_string(Seconds) + gens + " vol 0.6");
}

// oggdec's decode of a file as raw 16-bit little-endian samples.
inline std::vector<uint8_t> OggDecode(const std::string& Path) {
  const std::string out = Path + ".ref.raw";
  testsupport::Shell("oggdec -Q -R -o '" + out + "' '" + Path + "'");
  return testsupport::ReadFile(out);
}

// oggenc's encode of a raw file; Extra goes on the command line (quality, comments).
inline std::string OggEncode(const std::string& Raw, int32_t Bits, int32_t Channels, int32_t Rate,
                             const std::string& Out, const std::string& Extra = "") {
  testsupport::Shell("oggenc -Q --raw --raw-bits=" + std::to_string(Bits) + " --raw-chan=" +
                     std::to_string(Channels) + " --raw-rate=" + std::to_string(Rate) + " --raw-endianness=0 " +
                     Extra + " -o '" + Out + "' '" + Raw + "'");
  return Out;
}

// Encodes a raw file through TRawIn -> TVorbisOut; Setup may set properties first.
inline std::string EncodeRaw(const std::string& Raw, int32_t Bits, int32_t Channels, int32_t Rate,
                             const std::string& Out, const std::function<void(TVorbisOut&)>& Setup = nullptr) {
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetFileName(Raw);
  TComponentPtr<TVorbisOut> out(new TVorbisOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(Out);
  out->SetCompression(0.5f);
  if (Setup) Setup(*out);
  return testsupport::RunOutput(*out);
}

// Each decoded channel follows its own source channel and no other (one tone per
// channel), which shows the channel order.
inline void ExpectChannelsFollow(const std::vector<uint8_t>& Source, int32_t Bits,
                                 const std::vector<uint8_t>& Decoded, int32_t Channels) {
  for (int32_t c = 0; c < Channels; ++c) {
    const std::vector<double> d = testsupport::ChannelSamples(Decoded, 16, Channels, c);
    for (int32_t o = 0; o < Channels; ++o) {
      const double r = testsupport::Correlation(testsupport::ChannelSamples(Source, Bits, Channels, o), d);
      if (o == c) {
        EXPECT_GT(r, 0.99) << "decoded channel " << c;
      } else {
        EXPECT_LT(std::abs(r), 0.5) << "decoded channel " << c << " against source channel " << o;
      }
    }
  }
}

// The channels of two decodes of 16-bit PCM are the same sample for sample, in any order.
inline bool SameChannelsInAnyOrder(const std::vector<uint8_t>& A, const std::vector<uint8_t>& B, int32_t Channels) {
  if (A.size() != B.size()) return false;
  std::vector<std::vector<double>> a, b;
  for (int32_t c = 0; c < Channels; ++c) {
    a.push_back(testsupport::ChannelSamples(A, 16, Channels, c));
    b.push_back(testsupport::ChannelSamples(B, 16, Channels, c));
  }
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return a == b;
}

// One Ogg page of a file: where it starts and how long it is.
struct TOggPage {
  size_t Offset = 0;
  size_t Length = 0;
  uint32_t Serial = 0;
};

inline std::vector<TOggPage> OggPages(const std::vector<uint8_t>& File) {
  std::vector<TOggPage> pages;
  size_t at = 0;
  while (at + 27 <= File.size() && std::equal(File.begin() + static_cast<std::ptrdiff_t>(at),
                                               File.begin() + static_cast<std::ptrdiff_t>(at) + 4, "OggS")) {
    const size_t segs = File[at + 26];
    if (at + 27 + segs > File.size()) break;
    size_t body = 0;
    for (size_t i = 0; i < segs; ++i) body += File[at + 27 + i];
    TOggPage p;
    p.Offset = at;
    p.Length = 27 + segs + body;
    p.Serial = testsupport::Le32(File, at + 14);
    if (at + p.Length > File.size()) break;
    pages.push_back(p);
    at += p.Length;
  }
  return pages;
}

// Recomputes the checksum of the page at Offset after its bytes were changed.
inline void FixOggChecksum(std::vector<uint8_t>& File, const TOggPage& Page) {
  for (int i = 22; i < 26; ++i) File[Page.Offset + static_cast<size_t>(i)] = 0;
  uint32_t crc = 0;
  for (size_t i = 0; i < Page.Length; ++i) {
    crc ^= static_cast<uint32_t>(File[Page.Offset + i]) << 24;
    for (int b = 0; b < 8; ++b) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  for (int i = 0; i < 4; ++i) File[Page.Offset + 22 + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (8 * i));
}

}  // namespace vorbistest
