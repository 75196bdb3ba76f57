// TVorbisOut: files checked by ogginfo, oggdec and vorbiscomment.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tests/audio/codecs/vorbis/VorbisTestSupport.h"

using namespace testsupport;
using namespace vorbistest;

namespace {

struct TFormat {
  int32_t Bits;
  int32_t Channels;
};

void PrintTo(const TFormat& F, std::ostream* Os) { *Os << F.Bits << "-bit " << F.Channels << " ch"; }

class VorbisRoundTrip : public testing::TestWithParam<TFormat> {};

// ogginfo must accept the file without a warning.
void ExpectCleanOgginfo(const std::string& File) {
  std::string out;
  EXPECT_TRUE(RunOk("ogginfo '" + File + "'", &out)) << out;
  EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
  EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
}

}  // namespace

TEST_P(VorbisRoundTrip, OggdecGivesEverySampleInItsChannel) {
  const TFormat f = GetParam();
  const int32_t rate = 44100;
  const std::string name = "rt" + std::to_string(f.Bits) + "_" + std::to_string(f.Channels);
  const std::string raw = MakeRaw(name + ".raw", f.Bits, f.Channels, rate, 1.3);
  const std::string ogg = TempPath(name + ".ogg");
  ASSERT_EQ(EncodeRaw(raw, f.Bits, f.Channels, rate, ogg), "");
  ExpectCleanOgginfo(ogg);
  const std::vector<uint8_t> src = ReadFile(raw);
  const int64_t frames = static_cast<int64_t>(src.size()) / (f.Bits / 8 * f.Channels);

  const std::vector<uint8_t> dec = OggDecode(ogg);
  ASSERT_EQ(static_cast<int64_t>(dec.size()), frames * 2 * f.Channels);
  // ffmpeg knows the Vorbis channel layouts and hands the channels back in WAV order.
  ExpectChannelsFollow(src, f.Bits, FfmpegDecode(ogg), f.Channels);

  // Our input gives the samples oggdec gives, its channels in WAV order as well.
  TComponentPtr<TVorbisIn> in(new TVorbisIn(nullptr));
  in->SetFileName(ogg);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->Channels(), f.Channels);
  EXPECT_EQ(in->BitsPerSample(), 16);
  EXPECT_EQ(in->Size(), static_cast<int64_t>(dec.size()));
  const std::vector<uint8_t> ours = ReadAll(*in, 3000);
  EXPECT_TRUE(SameChannelsInAnyOrder(ours, dec, f.Channels));
  ExpectChannelsFollow(src, f.Bits, ours, f.Channels);
}

INSTANTIATE_TEST_SUITE_P(Formats, VorbisRoundTrip,
                         testing::Values(TFormat{8, 1}, TFormat{8, 2}, TFormat{16, 1}, TFormat{16, 2}, TFormat{16, 6},
                                         TFormat{24, 2}, TFormat{24, 6}, TFormat{32, 1}, TFormat{32, 2},
                                         TFormat{16, 3}, TFormat{16, 8}),
                         [](const testing::TestParamInfo<TFormat>& I) {
                           return std::to_string(I.param.Bits) + "bit_" + std::to_string(I.param.Channels) + "ch";
                         });

TEST(VorbisOut, CommentsGoInKeyOrderAndAreEmptiedAfterTheRun) {
  const std::string raw = MakeRaw("tags.raw", 16, 2, 22050, 0.3);
  const std::string ogg = TempPath("tags.ogg");
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 22050));
  in->SetFileName(raw);
  TComponentPtr<TVorbisOut> out(new TVorbisOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(ogg);
  TVorbisTags t;
  t.SetTitle(u"Ωmega = end");
  t.SetArtist(u"Zoë Ängström");
  t.SetTrack(u"12");
  t.SetGenre(u"Jazz");
  t.SetDate(u"1999");  // album stays empty and is left out
  out->SetComments(t);
  ASSERT_EQ(RunOutput(*out), "");
  ExpectCleanOgginfo(ogg);
  EXPECT_EQ(Shell("vorbiscomment -l '" + ogg + "'"),
            "artist=Zoë Ängström\ndate=1999\ngenre=Jazz\ntitle=Ωmega = end\ntracknumber=12\n");
  EXPECT_TRUE(out->Comments()->Title().empty());
  EXPECT_TRUE(out->Comments()->Artist().empty());
}

TEST(VorbisOut, ManagedBitrateSettings) {
  TComponentPtr<TVorbisOut> out(new TVorbisOut(nullptr));
  // While the nominal rate is automatic, neither limit can be set.
  out->SetDesiredMaximumBitrate(bitrate320);
  out->SetMinimumBitrate(bitrate64);
  EXPECT_EQ(out->DesiredMaximumBitrate(), brAutoSelect);
  EXPECT_EQ(out->MinimumBitrate(), brAutoSelect);
  out->SetDesiredNominalBitrate(bitrate160);
  out->SetMinimumBitrate(bitrate192);  // above the nominal: ignored
  EXPECT_EQ(out->MinimumBitrate(), brAutoSelect);
  EXPECT_EQ(out->DesiredMaximumBitrate(), brAutoSelect);  // no limit, so not raised
  out->SetMinimumBitrate(bitrate96);
  out->SetDesiredMaximumBitrate(bitrate128);  // below the nominal: ignored
  EXPECT_EQ(out->DesiredMaximumBitrate(), brAutoSelect);
  out->SetDesiredMaximumBitrate(bitrate256);
  out->SetDesiredNominalBitrate(bitrate64);  // below the minimum: lowers it
  EXPECT_EQ(out->MinimumBitrate(), bitrate64);
  EXPECT_EQ(out->DesiredMaximumBitrate(), bitrate256);
  out->SetDesiredNominalBitrate(brAutoSelect);
  EXPECT_EQ(out->DesiredMaximumBitrate(), brAutoSelect);
  EXPECT_EQ(VorbisBitRateValue(bitrate499 + 128), 499000);
  EXPECT_EQ(VorbisBitRateValue(100), -1);

  // 128 kbit/s with no minimum: the minimum is the nominal and no maximum is set.
  const std::string raw = MakeRaw("managed.raw", 16, 2, 44100, 1.0);
  const std::string ogg = TempPath("managed.ogg");
  ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, ogg, [](TVorbisOut& o) { o.SetDesiredNominalBitrate(bitrate128); }), "");
  const std::string info = Shell("ogginfo '" + ogg + "'");
  EXPECT_NE(info.find("Nominal bitrate: 128.000000 kb/s"), std::string::npos) << info;
  EXPECT_NE(info.find("Upper bitrate not set"), std::string::npos) << info;
  EXPECT_NE(info.find("Lower bitrate: 128.000000 kb/s"), std::string::npos) << info;
  EXPECT_EQ(OggDecode(ogg).size(), ReadFile(raw).size());
}

TEST(VorbisOut, ImpossibleSetUpsAreReported) {
  const std::string raw = MakeRaw("bad.raw", 16, 2, 44100, 0.2);
  // A managed rate far above what 8 kHz can carry.
  EXPECT_EQ(EncodeRaw(raw, 16, 2, 8000, TempPath("bad1.ogg"),
                      [](TVorbisOut& o) {
                        o.SetDesiredNominalBitrate(bitrate499);
                        o.SetMinimumBitrate(bitrate499);
                      }),
            "Vorbis codec setup with the requested bitrate failed. Try a lower bitrate.");
  // A quality outside the encoder's range.
  EXPECT_EQ(EncodeRaw(raw, 16, 2, 44100, TempPath("bad2.ogg"), [](TVorbisOut& o) { o.SetCompression(-3.0f); }),
            "Vorbis codec setup with the requested quality failed.");
  EXPECT_EQ(EncodeRaw(raw, 16, 2, 44100, ""), "File name is not assigned.");
}

TEST(VorbisOut, AppendedStreamGetsItsOwnSerialNumber) {
  const std::string rawA = MakeRaw("appA.raw", 16, 2, 44100, 0.5);
  const std::string rawB = MakeRaw("appB.raw", 16, 2, 44100, 0.7);
  const std::string ogg = TempPath("append.ogg");
  // Appending to a file that does not exist creates it.
  ASSERT_EQ(EncodeRaw(rawA, 16, 2, 44100, ogg,
                      [](TVorbisOut& o) {
                        o.SetFileMode(foAppend);
                        o.SetSerial(5);
                      }),
            "");
  ASSERT_EQ(EncodeRaw(rawB, 16, 2, 44100, ogg,
                      [](TVorbisOut& o) {
                        o.SetFileMode(foAppend);
                        o.SetSerial(5);
                      }),
            "");
  ExpectCleanOgginfo(ogg);
  const std::string info = Shell("ogginfo '" + ogg + "'");
  EXPECT_NE(info.find("serial: 00000005"), std::string::npos) << info;
  EXPECT_NE(info.find("serial: 00000006"), std::string::npos) << info;
  // Each stream, taken out on its own, holds all of its audio.
  const std::vector<uint8_t> bytes = ReadFile(ogg);
  std::map<uint32_t, std::vector<uint8_t>> streams;
  for (const TOggPage& p : OggPages(bytes))
    streams[p.Serial].insert(streams[p.Serial].end(), bytes.begin() + static_cast<std::ptrdiff_t>(p.Offset),
                             bytes.begin() + static_cast<std::ptrdiff_t>(p.Offset + p.Length));
  ASSERT_EQ(streams.size(), 2u);
  WriteFile(TempPath("append5.ogg"), streams[5]);
  WriteFile(TempPath("append6.ogg"), streams[6]);
  EXPECT_EQ(OggDecode(TempPath("append5.ogg")).size(), ReadFile(rawA).size());
  EXPECT_EQ(OggDecode(TempPath("append6.ogg")).size(), ReadFile(rawB).size());
  EXPECT_EQ(streams[5].size() + streams[6].size(), bytes.size());

  // Rewriting starts over with one stream.
  ASSERT_EQ(EncodeRaw(rawA, 16, 2, 44100, ogg, [](TVorbisOut& o) { o.SetSerial(5); }), "");
  EXPECT_EQ(OggDecode(ogg).size(), ReadFile(rawA).size());
}
