// TMACOut: encoding through the worker thread, checked with ffmpeg, ffprobe and our
// own APEv2 reader.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/audio/codecs/ape/MACComponentTools.h"

using namespace MACComp;

namespace {

// Records what each read asked for.
class TRecordingIn : public TRawIn {
public:
  using TRawIn::TRawIn;
  std::vector<uint32_t> Requests;
  std::function<void(int)> OnRead;

protected:
  void ReadRaw(void*& Buffer, uint32_t& Bytes) override {
    Requests.push_back(Bytes);
    if (OnRead) OnRead(static_cast<int>(Requests.size()));
    TRawIn::ReadRaw(Buffer, Bytes);
  }
};

}  // namespace

TEST(MACOutTest, EveryWidthAndLevelDecodesBitExactWithFfmpeg) {
  RequireTools({"sox", "ffmpeg", "md5sum"});
  TempDir dir;
  struct Case {
    int Bits, Channels, Rate;
  } formats[] = {{8, 1, 8000}, {8, 2, 22050}, {16, 1, 44100}, {16, 2, 44100}, {24, 1, 48000}, {24, 2, 48000}};
  for (const Case& f : formats) {
    const std::string raw = MakeRaw(dir, f.Bits, f.Channels, f.Rate, 0.9);
    const std::string expected = Md5OfFile(raw);
    for (int level : {1000, 2000, 3000, 4000, 5000}) {
      // Every level for 16-bit stereo and 24-bit stereo; the others at two levels.
      if (f.Channels == 1 || f.Bits == 8) {
        if (level != 2000 && level != 5000) continue;
      }
      SCOPED_TRACE(std::to_string(f.Bits) + " bits, " + std::to_string(f.Channels) + " ch, level " + std::to_string(level));
      const std::string ape = dir.Path("out.ape");
      ASSERT_EQ(EncodeRaw(raw, f.Bits, f.Channels, f.Rate, ape, level), "");
      EXPECT_EQ(FfmpegPcmMd5(ape, f.Bits), expected);
      EXPECT_EQ(Le16(ReadFile(ape), 52), level);
    }
  }
}

TEST(MACOutTest, CompressionLevelKeepsOnlyTheFiveLevels) {
  TComponentPtr<TMACOut> out(new TMACOut(nullptr));
  EXPECT_EQ(out->CompressionLevel(), 2000);
  EXPECT_EQ(out->MaxAudioBytes(), -1);
  const std::pair<int32_t, int32_t> cases[] = {{2500, 2000}, {5000, 5000}, {1000, 1000}, {3000, 3000}, {4000, 4000},
                                               {0, 2000},    {6000, 2000}, {-1000, 2000}, {999, 2000}};
  for (const auto& [set, kept] : cases) {
    out->SetCompressionLevel(set);
    EXPECT_EQ(out->CompressionLevel(), kept) << set;
  }
  out->SetFileMode(foAppend);
  EXPECT_EQ(out->FileMode(), foRewrite);
}

TEST(MACOutTest, TwentyFourBitStereoIsHandedOverInBlocksOf65532Bytes) {
  RequireTools({"sox", "ffmpeg", "md5sum"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, 24, 2, 44100, 1.7);
  const int64_t size = static_cast<int64_t>(ReadFile(raw).size());
  TComponentPtr<TRecordingIn> in(new TRecordingIn(nullptr, 24, 2, 44100));
  in->SetFileName(raw);
  in->MaxChunk = 1 << 20;  // every read gives all it is asked for
  TComponentPtr<TMACOut> out(new TMACOut(nullptr));
  out->SetInput(in.get());
  const std::string ape = dir.Path("blocks.ape");
  out->SetFileName(ape);
  ASSERT_EQ(RunOutput(*out), "");
  ASSERT_FALSE(in->Requests.empty());
  EXPECT_EQ(in->Requests.front(), 65532u);  // 65536 - 65536 mod 6
  EXPECT_EQ(std::count(in->Requests.begin(), in->Requests.end(), 65532u), size / 65532 + (size % 65532 ? 1 : 0));
  EXPECT_EQ(*std::max_element(in->Requests.begin(), in->Requests.end()), 65532u);
  EXPECT_EQ(FfmpegPcmMd5(ape, 24), Md5OfFile(raw));
}

TEST(MACOutTest, ThirtyTwoBitInputIsRefusedWithoutAFile) {
  RequireTools({"sox"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, 32, 2, 44100, 0.2);
  const std::string ape = dir.Path("wide.ape");
  EXPECT_EQ(EncodeRaw(raw, 32, 2, 44100, ape),
            "A Monkey's Audio file holds 8, 16 or 24-bit samples; the source has 32-bit samples.");
  EXPECT_FALSE(Exists(ape));
  // Nor does a refused run leave its input busy.
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 32, 2, 44100));
  in->SetFileName(raw);
  TComponentPtr<TMACOut> out(new TMACOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(ape);
  EXPECT_NE(RunOutput(*out), "");
  EXPECT_FALSE(in->Busy());
  EXPECT_FALSE(out->Busy());
}

TEST(MACOutTest, AFileNameIsNeededAndAStreamIsRefused) {
  TempDir dir;
  WriteFile(dir.Path("pcm.raw"), std::vector<uint8_t>(4000, 1));
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
  in->SetFileName(dir.Path("pcm.raw"));
  TComponentPtr<TMACOut> out(new TMACOut(nullptr));
  out->SetInput(in.get());
  EXPECT_EQ(RunOutput(*out), "File name is not assigned.");
  // A stream instead of a name would be left empty: refused.
  TMemoryStream mem;
  out->SetStream(&mem);
  out->SetFileName(dir.Path("named.ape"));
  EXPECT_EQ(RunOutput(*out), "Monkey's Audio output writes files by name only");
  EXPECT_FALSE(Exists(dir.Path("named.ape")));
}

TEST(MACOutTest, TagsAreWrittenOnlyWhenSetAndReadBackEverywhere) {
  RequireTools({"sox", "ffmpeg", "ffprobe", "md5sum"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, 16, 2, 44100, 0.8);
  const std::string expected = Md5OfFile(raw);
  auto hasApeTag = [](const std::vector<uint8_t>& f) {
    const std::string mark = "APETAGEX";
    return std::search(f.begin(), f.end(), mark.begin(), mark.end()) != f.end();
  };

  const std::string plain = dir.Path("plain.ape");
  ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, plain), "");
  EXPECT_FALSE(hasApeTag(ReadFile(plain)));
  EXPECT_EQ(Probe(plain, "format_tags"), "");

  const std::string tagged = dir.Path("tagged.ape");
  ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, tagged, 3000,
                      [](TMACOut& out, TRawIn&) {
                        TAPEv2Tags* t = out.APEv2Tags();
                        t->SetArtist(u"Ärtist");
                        t->SetAlbum(u"Albüm ✓");
                        t->SetTitle(u"Title");
                        t->SetComment(u"Comment");
                        t->SetGenre(u"Jazz");
                        t->SetYear("2005");
                        t->SetTrack(" 07 ");
                      }),
            "");
  EXPECT_TRUE(hasApeTag(ReadFile(tagged)));
  EXPECT_EQ(FfmpegPcmMd5(tagged, 16), expected);
  EXPECT_EQ(Probe(tagged, "format_tags=artist"), "Ärtist");
  EXPECT_EQ(Probe(tagged, "format_tags=album"), "Albüm ✓");
  EXPECT_EQ(Probe(tagged, "format_tags=genre"), "Jazz");
  EXPECT_EQ(Probe(tagged, "format_tags=track"), "7");  // its decimal text

  // Our own APEv2 reader.
  TAPEv2Tags read;
  TAuFileStream stream(tagged, fmOpenRead | fmShareDenyWrite);
  ASSERT_TRUE(ReadAPEv2Tags(stream, read));
  EXPECT_EQ(read.Artist(), u"Ärtist");
  EXPECT_EQ(read.Album(), u"Albüm ✓");
  EXPECT_EQ(read.Title(), u"Title");
  EXPECT_EQ(read.Genre(), u"Jazz");
  EXPECT_EQ(read.Year(), "2005");
  EXPECT_EQ(read.Track(), "7");

  // And the input component, through the library's ID3v1 record.
  TComponentPtr<TMACIn> in(new TMACIn(nullptr));
  in->SetFileName(tagged);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->APEv2Tags()->Title(), u"Title");
  EXPECT_EQ(in->APEv2Tags()->Artist(), u"Ärtist");
  EXPECT_EQ(in->APEv2Tags()->Album(), u"Albüm ✓");
  EXPECT_EQ(in->APEv2Tags()->Year(), "2005");
  EXPECT_EQ(in->APEv2Tags()->Comment(), u"Comment");
  in->SetFileName(plain);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->APEv2Tags()->Title(), u"");  // nothing left of the other file
}

TEST(MACOutTest, AStoppedRunLeavesAShorterFileThatDecodes) {
  RequireTools({"sox", "ffmpeg"});
  TempDir dir;
  const std::string raw = MakeRaw(dir, 16, 2, 44100, 12.0);
  const std::vector<uint8_t> source = ReadFile(raw);
  TComponentPtr<TRecordingIn> in(new TRecordingIn(nullptr, 16, 2, 44100));
  in->SetFileName(raw);
  in->MaxChunk = 1 << 20;
  TComponentPtr<TMACOut> out(new TMACOut(nullptr));
  TMACOut* o = out.get();
  in->OnRead = [o](int Reads) {
    if (Reads == 10) o->Stop(true);
  };
  out->SetInput(in.get());
  const std::string ape = dir.Path("stopped.ape");
  out->SetFileName(ape);
  ASSERT_EQ(RunOutput(*out), "");
  const std::vector<uint8_t> decoded = FfmpegDecode(dir, ape, 16);
  EXPECT_GT(decoded.size(), 5u * 65532);
  EXPECT_LT(decoded.size(), source.size());
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), source.begin()));
}
