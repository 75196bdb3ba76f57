// TTTAIn: decoding files made by ffmpeg, user streams, leading tags, malformed files.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/audio/codecs/tta/TTAComponentTools.h"

using namespace testsupport;
using namespace TTAComp;

namespace {

// Everything an initialised input delivers, Request bytes at a time.
std::vector<uint8_t> Drain(TAuInput& In, uint32_t Request) {
  std::vector<uint8_t> out;
  In.Init();
  for (;;) {
    void* p = nullptr;
    uint32_t n = Request;
    In.ReadData(p, n);
    if (n == 0) break;
    EXPECT_LE(n, Request);
    out.insert(out.end(), static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + n);
  }
  In.Flush();
  return out;
}

}  // namespace

TEST(TTAInTest, FilesMadeByFfmpegDecodeBitExact) {
  RequireTools({"sox", "ffmpeg"});
  TTempDir dir;
  struct F {
    int Bits, Channels, Rate;
  } formats[] = {{8, 1, 8000}, {8, 2, 44100}, {16, 1, 22050}, {16, 2, 44100},
                 {16, 6, 48000}, {24, 1, 96000}, {24, 2, 44100}, {24, 6, 44100}};
  for (const F& f : formats) {
    SCOPED_TRACE(std::to_string(f.Bits) + " bits, " + std::to_string(f.Channels) + " channels");
    const std::string raw = MakeRaw(dir, f.Bits, f.Channels, f.Rate, 1.61);
    const std::string tta = FfmpegEncode(dir, raw, f.Bits, f.Channels, f.Rate, "ffmpeg.tta");
    const auto expected = ReadFile(raw);

    TComponentPtr<TTTAIn> in(new TTTAIn(nullptr));
    EXPECT_TRUE(in->Seekable());
    in->SetFileName(tta);
    ASSERT_TRUE(in->Valid());
    EXPECT_FALSE(in->Seekable());  // while open
    EXPECT_EQ(in->BitsPerSample(), f.Bits);
    EXPECT_EQ(in->Channels(), f.Channels);
    EXPECT_EQ(in->SampleRate(), f.Rate);
    EXPECT_EQ(in->Size(), static_cast<int64_t>(expected.size()));
    EXPECT_EQ(in->TotalTime(), 2);
    const auto decoded = Collect(*in);
    EXPECT_EQ(decoded.size(), expected.size());
    EXPECT_TRUE(decoded == expected);
    EXPECT_TRUE(in->Seekable());  // closed at the end of the run
    // Odd request sizes cut frames and samples anywhere; the carry keeps them whole.
    EXPECT_TRUE(Drain(*in, 1001) == expected);
  }
}

TEST(TTAInTest, AUserStreamDecodesLikeTheFileAndLeavesNoTemporaryFile) {
  RequireTools({"sox", "ffmpeg"});
  TTempDir dir;
  TTempDir tmp;
  TmpDirOverride over(tmp.Root());
  const std::string raw = MakeRaw(dir, 16, 2, 44100, 1.3);
  const std::string tta = FfmpegEncode(dir, raw, 16, 2, 44100, "s.tta");
  const auto expected = ReadFile(raw);

  const int fds = OpenDescriptors();
  {
    TMemoryStream mem;
    mem.LoadFromFile(tta);
    mem.Seek(1234, soBeginning);  // the copy starts from the stream's beginning whatever its position
    TComponentPtr<TTTAIn> in(new TTTAIn(nullptr));
    in->SetStream(&mem);
    ASSERT_TRUE(in->Valid());
    EXPECT_EQ(in->Size(), static_cast<int64_t>(expected.size()));
    EXPECT_TRUE(Collect(*in) == expected);
    EXPECT_EQ(mem.Position(), 0);  // handed back rewound
    EXPECT_TRUE(Collect(*in) == expected);  // a second run opens it again

    // An empty stream is no valid file and leaves nothing behind.
    TMemoryStream empty;
    TComponentPtr<TTTAIn> in2(new TTTAIn(nullptr));
    in2->SetStream(&empty);
    EXPECT_FALSE(in2->Valid());
  }
  EXPECT_TRUE(tmp.Entries().empty());
  EXPECT_EQ(OpenDescriptors(), fds);
}

TEST(TTAInTest, LeadingId3v2TagIsSkippedAndTagsAreRead) {
  RequireTools({"sox", "ffmpeg", "id3v2"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, 24, 2, 44100, 1.1);
  const std::string tta = FfmpegEncode(dir, raw, 24, 2, 44100, "tagged.tta");
  const std::string plain = FfmpegEncode(dir, raw, 24, 2, 44100, "plain.tta");
  // id3v2 writes an ID3v2 tag in front of the file and an ID3v1 block after it.
  std::string log;
  ASSERT_TRUE(RunOk("id3v2 -a 'Some Artist' -t 'A Title' -A 'An Album' -y 2004 " + Quote(tta), &log)) << log;
  const auto file = ReadFile(tta);
  ASSERT_EQ(std::string(file.begin(), file.begin() + 3), "ID3");
  const auto expected = ReadFile(raw);

  TComponentPtr<TTTAIn> in(new TTTAIn(nullptr));
  in->SetFileName(tta);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->Id3v2Tags()->Artist(), u"Some Artist");
  EXPECT_EQ(in->Id3v2Tags()->Album(), u"An Album");
  EXPECT_EQ(in->Id3v1Tags()->Title(), "A Title");
  EXPECT_EQ(in->Id3v1Tags()->Year(), 2004);
  EXPECT_EQ(in->Size(), static_cast<int64_t>(expected.size()));
  EXPECT_TRUE(Collect(*in) == expected);

  // The next file has no tags: none of the previous file's are left.
  in->SetFileName(plain);
  ASSERT_TRUE(in->Valid());
  EXPECT_TRUE(in->Id3v2Tags()->Empty());
  EXPECT_TRUE(in->Id3v1Tags()->Empty());
  EXPECT_EQ(in->Id3v2Tags()->Artist(), u"");
}

TEST(TTAInTest, MalformedFilesFailCleanly) {
  RequireTools({"sox", "ffmpeg"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, 16, 2, 44100, 2.5);
  const std::string tta = FfmpegEncode(dir, raw, 16, 2, 44100, "good.tta");
  const auto good = ReadFile(tta);
  const auto expected = ReadFile(raw);
  ASSERT_GT(good.size(), 20000u);

  auto openMessage = [](const std::string& name) {
    TComponentPtr<TTTAIn> in(new TTTAIn(nullptr));
    in->SetFileName(name);
    EXPECT_FALSE(in->Valid());
    try {
      in->OpenFile();
    } catch (const Exception& E) {
      return std::string(E.what());
    }
    return std::string("opened");
  };

  {
    SCOPED_TRACE("not a TTA file");
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 7 + 3);
    WriteFile(dir.Path("junk.tta"), junk);
    EXPECT_NE(openMessage(dir.Path("junk.tta")), "opened");
    WriteFile(dir.Path("empty.tta"), std::vector<uint8_t>());
    EXPECT_NE(openMessage(dir.Path("empty.tta")), "opened");
    EXPECT_EQ(openMessage(dir.Path("missing.tta")), "Unable to open file for input!");
  }
  {
    SCOPED_TRACE("only the header survives");
    WriteFile(dir.Path("head.tta"), std::vector<uint8_t>(good.begin(), good.begin() + 22));
    EXPECT_NE(openMessage(dir.Path("head.tta")), "opened");
  }
  {
    SCOPED_TRACE("an ID3v2 header that claims more than the file holds");
    std::vector<uint8_t> f = good;
    f.insert(f.begin(), {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F});
    WriteFile(dir.Path("badtag.tta"), f);
    EXPECT_EQ(openMessage(dir.Path("badtag.tta")), "Broken or unsupported Id3v2 tags was found!");
  }
  // Files whose header is fine but whose audio is not: the run ends with an error,
  // after delivering only correct audio.
  auto runMessage = [&](const std::vector<uint8_t>& bytes, const std::string& name) {
    WriteFile(dir.Path(name), bytes);
    TComponentPtr<TTTAIn> in(new TTTAIn(nullptr));
    in->SetFileName(dir.Path(name));
    EXPECT_TRUE(in->Valid());
    std::string err;
    const auto decoded = Collect(*in, &err);
    EXPECT_LT(decoded.size(), expected.size());
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), expected.begin()));
    EXPECT_TRUE(in->Seekable());  // closed again after the failed run
    return err;
  };
  {
    SCOPED_TRACE("cut short");
    EXPECT_NE(runMessage(std::vector<uint8_t>(good.begin(), good.begin() + good.size() * 6 / 10), "cut.tta"), "");
  }
  {
    SCOPED_TRACE("a damaged frame");
    auto bad = good;
    for (size_t i = bad.size() / 2; i < bad.size() / 2 + 64; ++i) bad[i] ^= 0x5A;
    EXPECT_NE(runMessage(bad, "damaged.tta"), "");
  }
}
