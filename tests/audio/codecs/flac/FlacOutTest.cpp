// TFLACOut: files checked by flac -t, flac -d and metaflac.

#include <gtest/gtest.h>

#include "tests/audio/codecs/flac/FlacTestSupport.h"

using namespace testsupport;
using namespace flactest;

namespace {

struct TFormat {
  int32_t Bits;
  int32_t Channels;
  int32_t Level;  // -1: the detailed settings
};

void PrintTo(const TFormat& F, std::ostream* Os) {
  *Os << F.Bits << "-bit " << F.Channels << " ch level " << F.Level;
}

std::string FormatName(const testing::TestParamInfo<TFormat>& I) {
  return std::to_string(I.param.Bits) + "bit_" + std::to_string(I.param.Channels) + "ch_" +
         (I.param.Level < 0 ? std::string("detailed") : "level" + std::to_string(I.param.Level));
}

std::string Metaflac(const std::string& Args, const std::string& File) {
  std::string s = Shell("metaflac " + Args + " '" + File + "'");
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

class FlacRoundTrip : public testing::TestWithParam<TFormat> {};

}  // namespace

TEST_P(FlacRoundTrip, FileVerifiesAndDecodesBitExact) {
  const TFormat f = GetParam();
  const int32_t rate = 44100;
  const std::string tag = std::to_string(f.Bits) + "_" + std::to_string(f.Channels) + "_" + std::to_string(f.Level);
  const std::string raw = MakeRaw("rt" + tag + ".raw", f.Bits, f.Channels, rate, 0.7);
  const std::string flac = TempPath("rt" + tag + ".flac");
  ASSERT_EQ(EncodeRaw(raw, f.Bits, f.Channels, rate, flac,
                      [&](TFLACOut& o) {
                        o.SetCompressionLevel(f.Level);
                        o.Tags()->SetTitle(u"Round trip");
                      }),
            "");
  const std::vector<uint8_t> src = ReadFile(raw);
  const int64_t frames = static_cast<int64_t>(src.size()) / (f.Bits / 8 * f.Channels);

  Shell("flac -s -t '" + flac + "'");
  EXPECT_EQ(Metaflac("--show-bps", flac), std::to_string(f.Bits));
  EXPECT_EQ(Metaflac("--show-channels", flac), std::to_string(f.Channels));
  EXPECT_EQ(Metaflac("--show-sample-rate", flac), std::to_string(rate));
  EXPECT_EQ(Metaflac("--show-total-samples", flac), std::to_string(frames));
  EXPECT_TRUE(FlacDecode(flac, f.Bits) == src) << "flac -d differs from the source";

  // And back through our own input.
  TComponentPtr<TFLACIn> in(new TFLACIn(nullptr));
  in->SetFileName(flac);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->BitsPerSample(), f.Bits);
  EXPECT_EQ(in->Channels(), f.Channels);
  EXPECT_EQ(in->Size(), static_cast<int64_t>(src.size()));
  EXPECT_TRUE(ReadAll(*in, 5000) == src) << "our decode differs from the source";
  EXPECT_EQ(UTF16ToUTF8(in->Tags()->Title()), "Round trip");
}

INSTANTIATE_TEST_SUITE_P(Formats, FlacRoundTrip,
                         testing::Values(TFormat{8, 1, 5}, TFormat{8, 2, 5}, TFormat{8, 6, 5}, TFormat{16, 1, 5},
                                         TFormat{16, 2, 5}, TFormat{16, 6, 5}, TFormat{24, 2, 5},
                                         TFormat{24, 6, 8}, TFormat{32, 1, 5}, TFormat{32, 2, 5},
                                         TFormat{32, 6, 0}, TFormat{16, 2, -1}, TFormat{8, 2, -1},
                                         TFormat{32, 2, -1}),
                         FormatName);

TEST(FlacOut, CommentBlockReplacesTheEncodersInFixedOrder) {
  const std::string raw = MakeRaw("tags.raw", 16, 2, 22050, 0.3);
  const std::string flac = TempPath("tags.flac");
  ASSERT_EQ(EncodeRaw(raw, 16, 2, 22050, flac,
                      [](TFLACOut& o) {
                        TVorbisTags t;
                        t.SetTrack(u"7");
                        t.SetGenre(u"Jazz");
                        t.SetArtist(u"Zoë Ängström");
                        t.SetTitle(u"Ωmega = end");
                        t.SetDate(u"1999");
                        o.SetTags(t);  // album stays empty and is left out
                      }),
            "");
  Shell("flac -s -t '" + flac + "'");
  const std::string list = Metaflac("--list --block-type=VORBIS_COMMENT", flac);
  EXPECT_NE(list.find("is last: true"), std::string::npos) << list;
  EXPECT_NE(list.find("vendor string: VENDOR=Hacked"), std::string::npos) << list;
  EXPECT_NE(list.find("comments: 5"), std::string::npos) << list;
  EXPECT_NE(list.find("comment[0]: title=Ωmega = end\n    comment[1]: artist=Zoë Ängström\n"
                      "    comment[2]: date=1999\n    comment[3]: genre=Jazz\n    comment[4]: tracknumber=7"),
            std::string::npos)
      << list;
  // Only one comment block, right after STREAMINFO, and the audio starts after it.
  EXPECT_EQ(Metaflac("--list --block-type=VORBIS_COMMENT", flac).find("METADATA block #1"), 0u);
  EXPECT_TRUE(FlacDecode(flac, 16) == ReadFile(raw));
}

TEST(FlacOut, EmptyTagsGiveTheVendorAndNoComments) {
  const std::string raw = MakeRaw("notags.raw", 16, 1, 8000, 0.2);
  const std::string flac = TempPath("notags.flac");
  ASSERT_EQ(EncodeRaw(raw, 16, 1, 8000, flac), "");
  Shell("flac -s -t '" + flac + "'");
  const std::string list = Metaflac("--list --block-type=VORBIS_COMMENT", flac);
  EXPECT_NE(list.find("vendor string: VENDOR=Hacked"), std::string::npos) << list;
  EXPECT_NE(list.find("comments: 0"), std::string::npos) << list;
}

TEST(FlacOut, DetailedSettingsReachTheEncoder) {
  const std::string raw = MakeRaw("detail.raw", 24, 2, 44100, 0.4);
  const std::string flac = TempPath("detail.flac");
  ASSERT_EQ(EncodeRaw(raw, 24, 2, 44100, flac,
                      [&](TFLACOut& o) {
                        o.SetMaxLPCOrder(8);
                        o.SetBlockSize(1152);
                        o.SetMaxResidualPartitionOrder(4);
                        o.SetQLPCoeffPrecisionSearch(true);
                        o.SetBestModelSearch(true);
                        o.SetVerify(true);
                      }),
            "");
  Shell("flac -s -t '" + flac + "'");
  EXPECT_EQ(Metaflac("--show-min-blocksize", flac), "1152");
  EXPECT_EQ(Metaflac("--show-max-blocksize", flac), "1152");
  EXPECT_TRUE(FlacDecode(flac, 24) == ReadFile(raw));
}

TEST(FlacOut, QLPPrecisionIsLoweredToFitTheSampleWidth) {
  struct TCase {
    int32_t Bits, Channels;
    uint16_t Expected;
  };
  // 24 + 7 = 31; at 32 bits no explicit precision fits and the encoder chooses (0).
  for (const TCase c : {TCase{24, 1, 7}, TCase{32, 2, 0}}) {
    SCOPED_TRACE(c.Bits);
    const std::string name = "qlp" + std::to_string(c.Bits);
    const std::string raw = MakeRaw(name + ".raw", c.Bits, c.Channels, 8000, 0.3);
    TComponentPtr<TRawIn> in(new TRawIn(nullptr, c.Bits, c.Channels, 8000));
    in->SetFileName(raw);
    TComponentPtr<TFLACOut> out(new TFLACOut(nullptr));
    out->SetInput(in.get());
    out->SetFileName(TempPath(name + ".flac"));
    out->SetMaxLPCOrder(12);
    out->SetQLPCoeffPrecision(15);
    // Mid-side settings mean nothing to a mono input and must not disturb it.
    out->SetEnableLooseMidSideStereo(true);
    ASSERT_EQ(RunOutput(*out), "");
    EXPECT_EQ(out->QLPCoeffPrecision(), c.Expected);
    Shell("flac -s -t '" + TempPath(name + ".flac") + "'");
    EXPECT_TRUE(FlacDecode(TempPath(name + ".flac"), c.Bits) == ReadFile(raw));
  }
}

TEST(FlacOut, InputOfUnknownSizeStillGetsItsTotalRecorded) {
  const std::string raw = MakeRaw("nosize.raw", 16, 2, 44100, 0.5);
  const std::string flac = TempPath("nosize.flac");
  ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, flac, nullptr, -1), "");
  Shell("flac -s -t '" + flac + "'");
  EXPECT_EQ(Metaflac("--show-total-samples", flac), std::to_string(ReadFile(raw).size() / 4));
  EXPECT_TRUE(FlacDecode(flac, 16) == ReadFile(raw));
}

namespace {

// A stream whose writes fail once it holds Limit bytes, like a full disk.
class TFullStream : public TMemoryStream {
public:
  explicit TFullStream(int64_t Limit) : FLimit(Limit) {}
  int64_t Write(const void* Buffer, int64_t Count) override {
    if (Position() + Count > FLimit) throw EWriteError("No space left on device");
    return TMemoryStream::Write(Buffer, Count);
  }

private:
  int64_t FLimit;
};

}  // namespace

TEST(FlacOut, AFailedWriteFailsTheRun) {
  const std::string raw = MakeRaw("full.raw", 16, 2, 44100, 1.0);
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
  in->SetFileName(raw);
  TFullStream stream(20000);
  TComponentPtr<TFLACOut> out(new TFLACOut(nullptr));
  out->SetInput(in.get());
  out->SetStream(&stream);
  // The stream's reason, not the encoder's.
  EXPECT_EQ(RunOutput(*out), "No space left on device");
  EXPECT_FALSE(in->Busy());

  // A stream too small even for the headers fails the set-up.
  TFullStream tiny(10);
  out->SetStream(&tiny);
  EXPECT_EQ(RunOutput(*out), "No space left on device");
  EXPECT_FALSE(in->Busy());
}

TEST(FlacOut, EmptyFileNameIsRefused) {
  const std::string raw = MakeRaw("noname.raw", 16, 2, 44100, 0.1);
  TComponentPtr<TRawIn> in(new TRawIn(nullptr));
  in->SetFileName(raw);
  TComponentPtr<TFLACOut> out(new TFLACOut(nullptr));
  out->SetInput(in.get());
  EXPECT_EQ(RunOutput(*out), "File name is not assigned.");
  EXPECT_FALSE(in->Busy());
}
