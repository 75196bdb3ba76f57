// TFLACIn on files made by flac, compared with flac -d.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/audio/codecs/flac/FlacTestSupport.h"

using namespace testsupport;
using namespace flactest;

namespace {

struct TFormat {
  int32_t Bits;
  int32_t Channels;
};

void PrintTo(const TFormat& F, std::ostream* Os) { *Os << F.Bits << "-bit " << F.Channels << " ch"; }

class FlacRead : public testing::TestWithParam<TFormat> {};

}  // namespace

TEST_P(FlacRead, FileMadeByFlacReadsBitExact) {
  const TFormat f = GetParam();
  const std::string name = "rd" + std::to_string(f.Bits) + "_" + std::to_string(f.Channels);
  const std::string raw = MakeRaw(name + ".raw", f.Bits, f.Channels, 48000, 0.6);
  const std::string flac = FlacEncode(raw, f.Bits, f.Channels, 48000, TempPath(name + ".flac"), "-5");
  const std::vector<uint8_t> ref = FlacDecode(flac, f.Bits);
  ASSERT_TRUE(ref == ReadFile(raw));

  TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
  in->SetFileName(flac);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->BitsPerSample(), f.Bits);
  EXPECT_EQ(in->Channels(), f.Channels);
  EXPECT_EQ(in->SampleRate(), 48000);
  EXPECT_EQ(in->Size(), static_cast<int64_t>(ref.size()));
  EXPECT_EQ(in->TotalSamples(), static_cast<int64_t>(ref.size()) / (f.Bits / 8 * f.Channels));
  // Requests of an odd size, smaller and larger than a frame of the file.
  EXPECT_TRUE(ReadAll(*in, 3001) == ref);
  EXPECT_TRUE(ReadAll(*in, 100000) == ref);
}

INSTANTIATE_TEST_SUITE_P(Formats, FlacRead,
                         testing::Values(TFormat{8, 1}, TFormat{8, 2}, TFormat{8, 6}, TFormat{16, 1}, TFormat{16, 2},
                                         TFormat{16, 6}, TFormat{24, 2}, TFormat{24, 6}, TFormat{32, 2}),
                         [](const testing::TestParamInfo<TFormat>& I) {
                           return std::to_string(I.param.Bits) + "bit_" + std::to_string(I.param.Channels) + "ch";
                         });

TEST(FlacIn, CommentsAreReadWhateverTheCaseOfTheirNames) {
  const std::string raw = MakeRaw("tags.raw", 16, 2, 44100, 0.2);
  const std::string flac = FlacEncode(raw, 16, 2, 44100, TempPath("tags.flac"),
                                      "-T 'TITLE=Wörds = more' -T 'Artist=Ünïcødé ♫' -T album=Alb -T DATE=2001 "
                                      "-T GENRE=Rock -T TRACKNUMBER=3 -T COMMENT=skipped -T NOEQ=x");
  // A comment without "=": the same number of bytes, so the block stays well formed.
  std::vector<uint8_t> bytes = ReadFile(flac);
  const std::string mark = "NOEQ=x";
  auto at = std::search(bytes.begin(), bytes.end(), mark.begin(), mark.end());
  ASSERT_NE(at, bytes.end());
  at[4] = '_';
  WriteFile(flac, bytes);
  EXPECT_NE(Shell("metaflac --list --block-type=VORBIS_COMMENT '" + flac + "'").find("NOEQ_x"), std::string::npos);

  TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
  in->SetFileName(flac);
  ASSERT_TRUE(in->Valid());
  TVorbisTags* t = in->Tags();
  EXPECT_EQ(UTF16ToUTF8(t->Title()), "Wörds = more");
  EXPECT_EQ(UTF16ToUTF8(t->Artist()), "Ünïcødé ♫");
  EXPECT_EQ(UTF16ToUTF8(t->Album()), "Alb");
  EXPECT_EQ(UTF16ToUTF8(t->Date()), "2001");
  EXPECT_EQ(UTF16ToUTF8(t->Genre()), "Rock");
  EXPECT_EQ(UTF16ToUTF8(t->Track()), "3");
  EXPECT_TRUE(ReadAll(*in) == ReadFile(raw));
}

TEST(FlacIn, HeaderWithoutTotalDeliversEveryFrameOnce) {
  // Read from a pipe and written to one, flac never learns the total.
  const std::string raw = MakeRaw("nototal.raw", 16, 2, 44100, 0.8);
  const std::string flac = TempPath("nototal.flac");
  Shell("cat '" + raw + "' | flac -s --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 "
        "--sample-rate=44100 -c - | cat > '" + flac + "'");
  ASSERT_EQ(Shell("metaflac --show-total-samples '" + flac + "'"), "0\n");
  const std::vector<uint8_t> ref = FlacDecode(flac, 16);
  ASSERT_TRUE(ref == ReadFile(raw));

  TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
  in->SetFileName(flac);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->Size(), -1);
  // Through the pipeline: the run must end at the last frame.
  TComponentPtr<TCollectOut> out(new TCollectOut(nullptr));
  out->SetInput(in.get());
  EXPECT_EQ(RunOutput(*out), "");
  EXPECT_TRUE(out->Data == ref) << out->Data.size() << " bytes against " << ref.size();

  // Reading past the last frame gives nothing, without an error.
  in->Init();
  std::vector<uint8_t> got;
  for (int i = 0; i < 3; ++i) {
    void* p = nullptr;
    uint32_t n = 1 << 20;
    in->ReadData(p, n);
    if (n) got.insert(got.end(), static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + n);
  }
  for (;;) {
    void* p = nullptr;
    uint32_t n = 65536;
    in->ReadData(p, n);
    if (!n) break;
    got.insert(got.end(), static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + n);
  }
  void* p = nullptr;
  uint32_t n = 4096;
  EXPECT_NO_THROW(in->ReadData(p, n));
  EXPECT_EQ(n, 0u);
  in->Flush();
  EXPECT_TRUE(got == ref);
}

TEST(FlacIn, SeeksLandOnTheReferenceSamples) {
  // One file with a seek table and fixed blocks, one without a seek table.
  for (const std::string extra : {"-5", "-8 --no-seektable -b 1152"}) {
    SCOPED_TRACE(extra);
    const std::string raw = MakeRaw("seek.raw", 24, 3, 44100, 1.5);
    const std::string flac = FlacEncode(raw, 24, 3, 44100, TempPath("seek.flac"), extra);
    const std::vector<uint8_t> ref = FlacDecode(flac, 24);
    const int64_t frame = 9;
    const int64_t total = static_cast<int64_t>(ref.size()) / frame;

    TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
    in->SetFileName(flac);
    for (const int64_t start : {int64_t(1), int64_t(1151), int64_t(1152), int64_t(4095), int64_t(4096),
                                int64_t(4097), int64_t(33333), total - 1}) {
      SCOPED_TRACE(start);
      in->SetStartSample(start);
      EXPECT_TRUE(ReadAll(*in, 7000) == ByteRange(ref, start * frame, total * frame));
    }
    // A range with its end sample included.
    in->SetStartSample(2000);
    in->SetEndSample(10000);
    EXPECT_TRUE(ReadAll(*in) == ByteRange(ref, 2000 * frame, 10001 * frame));

    // Seeks while reading, forward and back, and to the very end.
    in->Init();
    std::vector<uint8_t> head(5000 * frame);
    bool headEof = false;
    EXPECT_EQ(in->FillBuffer(head.data(), static_cast<uint32_t>(head.size()), headEof), head.size());
    EXPECT_TRUE(head == ByteRange(ref, 0, 5000 * frame));
    for (const int64_t to : {int64_t(50001), int64_t(17), total - 100, int64_t(40000)}) {
      SCOPED_TRACE(to);
      ASSERT_TRUE(in->Seek(to));
      std::vector<uint8_t> part(3000 * frame);
      bool eof = false;
      const uint32_t n = in->FillBuffer(part.data(), static_cast<uint32_t>(part.size()), eof);
      part.resize(n);
      EXPECT_TRUE(part == ByteRange(ref, to * frame, (to + 3000) * frame));
      EXPECT_EQ(in->Position(), std::min(to + 3000, total) * frame);
    }
    ASSERT_TRUE(in->Seek(total));
    void* p = nullptr;
    uint32_t n = 4096;
    in->ReadData(p, n);
    EXPECT_EQ(n, 0u);
    in->Flush();
  }
}

TEST(FlacIn, MD5CheckTellsAnIntactFileFromADamagedOne) {
  const std::string raw = MakeRaw("md5.raw", 16, 2, 44100, 1.0);
  const std::string flac = FlacEncode(raw, 16, 2, 44100, TempPath("md5.flac"), "-5");
  TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
  in->SetCheckMD5Signature(true);
  in->SetFileName(flac);
  EXPECT_TRUE(ReadAll(*in) == ReadFile(raw));
  EXPECT_TRUE(in->MD5Result());

  // A signature that does not fit the audio: every frame decodes, the check says no.
  std::vector<uint8_t> bytes = ReadFile(flac);
  constexpr size_t SignatureAt = 4 + 4 + 18;  // "fLaC", block header, STREAMINFO fields
  bytes[SignatureAt] ^= 0x5A;
  const std::string bad = TempPath("md5-bad.flac");
  WriteFile(bad, bytes);
  in->SetFileName(bad);
  EXPECT_TRUE(ReadAll(*in) == ReadFile(raw));
  EXPECT_FALSE(in->MD5Result());
}
