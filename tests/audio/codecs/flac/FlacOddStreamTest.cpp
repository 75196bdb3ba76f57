// TFLACIn on streams the flac tool does not make: sample widths that are not whole
// bytes, frames that contradict the header, and damaged or foreign files.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/audio/codecs/flac/FlacTestSupport.h"

using namespace testsupport;
using namespace flactest;

namespace {

class TBitWriter {
public:
  void Put(uint64_t Value, int Bits) {
    for (int i = Bits - 1; i >= 0; --i) {
      FAcc = static_cast<uint8_t>(FAcc << 1 | ((Value >> i) & 1));
      if (++FCount == 8) {
        Bytes.push_back(FAcc);
        FAcc = 0;
        FCount = 0;
      }
    }
  }
  void Align() {
    while (FCount) Put(0, 1);
  }
  std::vector<uint8_t> Bytes;

private:
  uint8_t FAcc = 0;
  int FCount = 0;
};

uint8_t Crc8(const uint8_t* P, size_t N) {
  uint8_t c = 0;
  for (size_t i = 0; i < N; ++i) {
    c ^= P[i];
    for (int b = 0; b < 8; ++b) c = static_cast<uint8_t>(c & 0x80 ? (c << 1) ^ 0x07 : c << 1);
  }
  return c;
}

uint16_t Crc16(const uint8_t* P, size_t N) {
  uint16_t c = 0;
  for (size_t i = 0; i < N; ++i) {
    c ^= static_cast<uint16_t>(P[i] << 8);
    for (int b = 0; b < 8; ++b) c = static_cast<uint16_t>(c & 0x8000 ? (c << 1) ^ 0x8005 : c << 1);
  }
  return c;
}

// A FLAC stream of uncompressed (verbatim) frames. Samples[c][i]; FrameChannels
// overrides the channel count of one frame (index, count) to make a damaged stream.
std::vector<uint8_t> VerbatimFlac(int32_t Bits, int32_t Rate, const std::vector<std::vector<int32_t>>& Samples,
                                  uint32_t BlockSize, int BadFrame = -1, int BadChannels = 0) {
  const int32_t channels = static_cast<int32_t>(Samples.size());
  const uint64_t total = Samples[0].size();
  TBitWriter w;
  for (char c : std::string("fLaC")) w.Put(static_cast<uint8_t>(c), 8);
  w.Put(1, 1);  // last metadata block
  w.Put(0, 7);  // STREAMINFO
  w.Put(34, 24);
  w.Put(BlockSize, 16);
  w.Put(BlockSize, 16);
  w.Put(0, 24);
  w.Put(0, 24);
  w.Put(static_cast<uint64_t>(Rate), 20);
  w.Put(static_cast<uint64_t>(channels - 1), 3);
  w.Put(static_cast<uint64_t>(Bits - 1), 5);
  w.Put(total, 36);
  for (int i = 0; i < 16; ++i) w.Put(0, 8);  // no MD5 signature
  std::vector<uint8_t> out = w.Bytes;

  int frameNo = 0;
  for (uint64_t start = 0; start < total; start += BlockSize, ++frameNo) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(BlockSize, total - start));
    const int32_t ch = frameNo == BadFrame ? BadChannels : channels;
    TBitWriter f;
    f.Put(0x3FFE, 14);  // sync
    f.Put(0, 1);
    f.Put(0, 1);        // fixed block size
    f.Put(7, 4);        // block size - 1 follows in 16 bits
    f.Put(0, 4);        // sample rate from STREAMINFO
    f.Put(static_cast<uint64_t>(ch - 1), 4);  // independent channels
    f.Put(0, 3);        // sample size from STREAMINFO
    f.Put(0, 1);
    f.Put(static_cast<uint64_t>(frameNo), 8);  // frame number (< 128)
    f.Put(n - 1, 16);
    f.Put(Crc8(f.Bytes.data(), f.Bytes.size()), 8);
    for (int32_t c = 0; c < ch; ++c) {
      f.Put(0, 1);
      f.Put(1, 6);  // verbatim
      f.Put(0, 1);
      for (uint32_t i = 0; i < n; ++i)
        f.Put(static_cast<uint32_t>(Samples[static_cast<size_t>(c % channels)][start + i]) & ((1u << Bits) - 1), Bits);
    }
    f.Align();
    const uint16_t crc = Crc16(f.Bytes.data(), f.Bytes.size());
    f.Put(crc, 16);
    out.insert(out.end(), f.Bytes.begin(), f.Bytes.end());
  }
  return out;
}

std::vector<std::vector<int32_t>> Tones(int32_t Bits, int32_t Channels, int32_t Frames) {
  std::vector<std::vector<int32_t>> s(static_cast<size_t>(Channels), std::vector<int32_t>(static_cast<size_t>(Frames)));
  const double full = std::ldexp(1.0, Bits - 1) - 1;
  for (int32_t c = 0; c < Channels; ++c)
    for (int32_t i = 0; i < Frames; ++i)
      s[static_cast<size_t>(c)][static_cast<size_t>(i)] =
          static_cast<int32_t>(std::lrint(full * 0.9 * std::sin(0.01 * (c + 1) * i + c)));
  return s;
}

// Reads a file with TFLACIn within a time limit; Valid is false when it cannot be read.
struct TReadResult {
  bool Valid = false;
  int64_t Size = 0;
  std::vector<uint8_t> Data;
  std::string Error;
};

TReadResult ReadFlac(const std::string& Path) {
  TReadResult r;
  WithinSeconds(
      30,
      [&] {
        TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
        in->SetFileName(Path);
        r.Valid = in->Valid();
        if (!r.Valid) return;
        r.Size = in->Size();
        try {
          r.Data = ReadAll(*in, 10000);
        } catch (const EAuException& E) {
          r.Error = E.what();
          in->Reset();
        }
      },
      "reading " + Path);
  return r;
}

}  // namespace

TEST(FlacOddStream, WidthsBetweenBytesAreWidenedToWholeBytes) {
  struct TCase {
    int32_t Bits, Channels, Container;
  };
  for (const TCase c : {TCase{12, 1, 16}, TCase{20, 2, 24}, TCase{4, 2, 8}}) {
    SCOPED_TRACE(c.Bits);
    const auto samples = Tones(c.Bits, c.Channels, 2500);
    const std::string path = TempPath("w" + std::to_string(c.Bits) + ".flac");
    WriteFile(path, VerbatimFlac(c.Bits, 16000, samples, 1000));
    Shell("flac -s -t '" + path + "'");  // our hand-made stream is well formed

    TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
    in->SetFileName(path);
    ASSERT_TRUE(in->Valid());
    EXPECT_EQ(in->BitsPerSample(), c.Container);
    EXPECT_EQ(in->Channels(), c.Channels);
    const int32_t width = c.Container / 8;
    EXPECT_EQ(in->Size(), 2500 * width * c.Channels);
    const std::vector<uint8_t> got = ReadAll(*in);
    ASSERT_EQ(got.size(), size_t(2500 * width * c.Channels));
    const int shift = c.Container - c.Bits;
    size_t k = 0;
    for (int32_t i = 0; i < 2500; ++i)
      for (int32_t ch = 0; ch < c.Channels; ++ch) {
        uint32_t v = 0;
        for (int32_t b = 0; b < width; ++b) v |= static_cast<uint32_t>(got[k++]) << (8 * b);
        const uint32_t want = static_cast<uint32_t>(samples[static_cast<size_t>(ch)][static_cast<size_t>(i)]) << shift;
        const uint32_t mask = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
        // 8-bit PCM is unsigned.
        ASSERT_EQ(v, (width == 1 ? want + 128 : want) & mask) << "frame " << i << " channel " << ch;
      }
  }
}

TEST(FlacOddStream, FrameWithAnotherChannelCountIsDamage) {
  const auto samples = Tones(16, 2, 5000);
  const std::string path = TempPath("badframe.flac");
  WriteFile(path, VerbatimFlac(16, 16000, samples, 1000, 2, 1));
  TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
  in->SetFileName(path);
  std::string error;
  const std::vector<uint8_t> got = ReadUntilFailure(*in, error, 10000);
  // The frames before the odd one go out, then the run fails where it starts.
  // 0.125 s: the hundredths round half to even.
  EXPECT_EQ(error, "FLAC decoding error in \"" + path +
                       "\" after 0:00.12 (sample frame 2000): a frame does not match the stream's format.");
  std::vector<uint8_t> good(2000 * 4);
  for (size_t i = 0; i < 2000; ++i)
    for (size_t c = 0; c < 2; ++c) {
      const auto v = static_cast<uint16_t>(samples[c][i]);
      good[(i * 2 + c) * 2] = static_cast<uint8_t>(v);
      good[(i * 2 + c) * 2 + 1] = static_cast<uint8_t>(v >> 8);
    }
  EXPECT_TRUE(got == good) << got.size() << " bytes";
}

TEST(FlacOddStream, TruncatedFilesEndCleanly) {
  const std::string raw = MakeRaw("trunc.raw", 16, 2, 44100, 1.0);
  const std::string flac = FlacEncode(raw, 16, 2, 44100, TempPath("trunc.flac"), "-5 -T TITLE=x --padding=100");
  const std::vector<uint8_t> whole = ReadFile(flac);
  const std::vector<uint8_t> ref = ReadFile(raw);
  for (const size_t len : {size_t(0), size_t(3), size_t(4), size_t(10), size_t(41), size_t(42), size_t(60),
                           size_t(200), whole.size() / 3, whole.size() / 2 + 7, whole.size() - 1}) {
    SCOPED_TRACE(len);
    const std::string path = TempPath("cut.flac");
    WriteFile(path, std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(len)));
    const TReadResult r = ReadFlac(path);
    if (len < 42) {
      EXPECT_FALSE(r.Valid);  // no complete STREAMINFO
    }
    if (!r.Valid) continue;
    // What comes out is the beginning of the audio, never more than the file holds.
    EXPECT_LT(r.Data.size(), ref.size());
    EXPECT_TRUE(std::equal(r.Data.begin(), r.Data.end(), ref.begin()));
  }
}

TEST(FlacOddStream, DamagedAndForeignFilesFailCleanly) {
  const std::string raw = MakeRaw("dmg.raw", 16, 2, 44100, 1.0);
  const std::string flac = FlacEncode(raw, 16, 2, 44100, TempPath("dmg.flac"), "-5");
  const std::vector<uint8_t> whole = ReadFile(flac);
  std::mt19937 rng(7);
  std::vector<std::vector<uint8_t>> files;
  for (int i = 0; i < 12; ++i) {  // bytes scattered over the audio
    std::vector<uint8_t> v = whole;
    for (int k = 0; k < 1 + i * 5; ++k) v[8192 + rng() % (v.size() - 8192)] = static_cast<uint8_t>(rng());
    files.push_back(v);
  }
  {  // a zeroed run in the middle
    std::vector<uint8_t> v = whole;
    std::fill(v.begin() + static_cast<std::ptrdiff_t>(v.size() / 3), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), 0);
    files.push_back(v);
  }
  {  // a STREAMINFO that claims 8 channels of 32 bits
    std::vector<uint8_t> v = whole;
    v[20] = static_cast<uint8_t>((v[20] & 0xF0) | 0x0F);
    v[21] = static_cast<uint8_t>(v[21] | 0xF0);
    files.push_back(v);
  }
  {  // random bytes after a valid header
    std::vector<uint8_t> v(whole.begin(), whole.begin() + 42 + 40);
    for (int k = 0; k < 50000; ++k) v.push_back(static_cast<uint8_t>(rng()));
    files.push_back(v);
  }
  // Frames without the header before them: the decoder finds audio but no metadata.
  files.emplace_back(whole.begin() + 8192, whole.end());
  {  // pure noise and a file of another kind
    std::vector<uint8_t> v;
    for (int k = 0; k < 30000; ++k) v.push_back(static_cast<uint8_t>(rng()));
    files.push_back(v);
    files.push_back(ReadFile(raw));
  }
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string path = TempPath("dmg" + std::to_string(i) + ".flac");
    WriteFile(path, files[i]);
    const TReadResult r = ReadFlac(path);
    // Either refused, or read to an end without running past the size the header gives.
    if (r.Valid && r.Size >= 0) {
      EXPECT_LE(static_cast<int64_t>(r.Data.size()), r.Size);
    }
    if (!r.Error.empty()) {
      EXPECT_EQ(r.Error.rfind("FLAC decoding error in \"" + path + "\" after ", 0), 0u) << r.Error;
    }
  }
}
