// TTTAOut: encoding through the worker thread, checked with ffmpeg and ffprobe.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/audio/codecs/tta/TTAComponentTools.h"

using namespace testsupport;
using namespace TTAComp;

namespace {

struct Format {
  int Bits, Channels, Rate;
};

}  // namespace

TEST(TTAOutTest, EncodedFilesDecodeBitExactWithFfmpeg) {
  RequireTools({"sox", "ffmpeg", "ffprobe"});
  TTempDir dir;
  const Format formats[] = {{8, 1, 8000},   {8, 2, 22050},  {16, 1, 44100}, {16, 2, 44100}, {16, 3, 32000},
                            {24, 2, 48000}, {24, 4, 44100}, {16, 6, 11025}, {24, 6, 44100}, {8, 6, 16000}};
  for (const Format& f : formats) {
    SCOPED_TRACE(std::to_string(f.Bits) + " bits, " + std::to_string(f.Channels) + " channels, " +
                 std::to_string(f.Rate) + " Hz");
    // Longer than one TTA frame, and not a whole number of frames.
    const std::string raw = MakeRaw(dir, f.Bits, f.Channels, f.Rate, 1.37);
    const std::string tta = dir.Path("out.tta");
    ASSERT_EQ(EncodeRaw(raw, f.Bits, f.Channels, f.Rate, tta), "");
    EXPECT_EQ(Probe(tta, "stream=codec_name"), "tta");
    EXPECT_EQ(Probe(tta, "stream=channels"), std::to_string(f.Channels));
    EXPECT_EQ(Probe(tta, "stream=sample_rate"), std::to_string(f.Rate));
    EXPECT_EQ(Probe(tta, "stream=bits_per_raw_sample"), std::to_string(f.Bits));
    const auto expected = ReadFile(raw);
    const auto decoded = FfmpegDecode(tta, RawFormat(f.Bits));
    EXPECT_EQ(decoded.size(), expected.size());
    EXPECT_TRUE(decoded == expected);
  }
}

// ffmpeg's decoder refuses five channels (it has no layout for them), so that count is
// checked through our own input.
TEST(TTAOutTest, FiveChannelsRoundTripThroughOurOwnPair) {
  RequireTools({"sox"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, 16, 5, 11025, 1.37);
  const std::string tta = dir.Path("five.tta");
  ASSERT_EQ(EncodeRaw(raw, 16, 5, 11025, tta), "");
  TComponentPtr<TTTAIn> in(new TTTAIn(nullptr));
  in->SetFileName(tta);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->Channels(), 5);
  EXPECT_TRUE(Collect(*in) == ReadFile(raw));
}

TEST(TTAOutTest, HeaderCountsTheRealSamplesWhateverTheInputClaimed) {
  RequireTools({"sox", "ffmpeg"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, 16, 2, 44100, 2.1);
  const auto expected = ReadFile(raw);
  const uint32_t frames = static_cast<uint32_t>(expected.size() / 4);
  // Unknown size, and a size far beyond what the input really delivers.
  for (int64_t declared : {int64_t{-1}, static_cast<int64_t>(expected.size()) * 3}) {
    SCOPED_TRACE("declared size " + std::to_string(declared));
    const std::string tta = dir.Path("estimate.tta");
    ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, tta, nullptr, 4096,
                        [&](TTTAOut&, TRawIn& in) { in.DeclaredSize = declared; }),
              "");
    const auto file = ReadFile(tta);
    ASSERT_GE(file.size(), 22u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "TTA1");
    EXPECT_EQ(Le32(file, 14), frames);  // data length of the header
    EXPECT_TRUE(FfmpegDecode(tta, "s16le") == expected);
  }
}

TEST(TTAOutTest, ThirtyTwoBitInputRoundTripsThroughTheFloatFormat) {
  RequireTools({"sox"});
  TTempDir dir;
  // 24-bit signals widened to 32 bits: every value is exact in a float.
  const std::string raw24 = MakeRaw(dir, 24, 2, 44100, 1.2);
  const std::string raw32 = dir.Path("src32.raw");
  ASSERT_TRUE(RunOk("sox -t raw -r 44100 -b 24 -c 2 -e signed-integer " + Quote(raw24) +
                    " -t raw -b 32 -e signed-integer " + Quote(raw32)));
  const auto expected = ReadFile(raw32);
  const std::string tta = dir.Path("float.tta");
  ASSERT_EQ(EncodeRaw(raw32, 32, 2, 44100, tta), "");
  const auto file = ReadFile(tta);
  ASSERT_GE(file.size(), 22u);
  EXPECT_EQ(Le16(file, 4), 3);   // float format
  EXPECT_EQ(Le16(file, 8), 32);  // bits

  TComponentPtr<TTTAIn> in(new TTTAIn(nullptr));
  in->SetFileName(tta);
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(in->BitsPerSample(), 32);
  EXPECT_EQ(in->Size(), static_cast<int64_t>(expected.size()));
  const auto decoded = Collect(*in);
  EXPECT_EQ(decoded.size(), expected.size());
  EXPECT_TRUE(decoded == expected);
}

TEST(TTAOutTest, OutputToAStreamEqualsOutputToAFileAndLeavesNoTemporaryFile) {
  RequireTools({"sox"});
  TTempDir dir;
  TTempDir tmp;
  TmpDirOverride over(tmp.Root());
  const std::string raw = MakeRaw(dir, 24, 2, 44100, 1.5);
  auto tags = [](TTTAOut& out, TRawIn&) {
    out.Id3v1Tags()->SetTitle("Stream title");
    out.Id3v2Tags()->SetArtist(u"Stream artist");
  };
  const std::string tta = dir.Path("file.tta");
  ASSERT_EQ(EncodeRaw(raw, 24, 2, 44100, tta, nullptr, 1001, tags), "");

  const int fds = OpenDescriptors();
  TMemoryStream mem;
  // Longer old content must not trail the new file.
  std::vector<uint8_t> junk(4 << 20, 0xAB);
  mem.Write(junk.data(), static_cast<int64_t>(junk.size()));
  ASSERT_EQ(EncodeRaw(raw, 24, 2, 44100, "", &mem, 1001, tags), "");
  const auto fromFile = ReadFile(tta);
  ASSERT_EQ(mem.Size(), static_cast<int64_t>(fromFile.size()));
  EXPECT_EQ(std::memcmp(mem.Memory(), fromFile.data(), fromFile.size()), 0);
  EXPECT_TRUE(tmp.Entries().empty());
  EXPECT_EQ(OpenDescriptors(), fds);
}

TEST(TTAOutTest, TagsAreWrittenOnlyWhenSet) {
  RequireTools({"sox", "ffmpeg", "ffprobe", "id3v2"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, 16, 2, 44100, 0.8);
  const auto expected = ReadFile(raw);
  auto hasV1 = [](const std::vector<uint8_t>& f) {
    return f.size() >= 128 && std::string(f.end() - 128, f.end() - 125) == "TAG";
  };
  auto startsWith = [](const std::vector<uint8_t>& f, const char* s) {
    return f.size() >= 4 && std::string(f.begin(), f.begin() + 3) == std::string(s, 3);
  };

  {
    SCOPED_TRACE("no tags");
    const std::string tta = dir.Path("none.tta");
    ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, tta), "");
    const auto f = ReadFile(tta);
    EXPECT_TRUE(startsWith(f, "TTA"));
    EXPECT_FALSE(hasV1(f));
    EXPECT_EQ(Probe(tta, "format_tags"), "");
  }
  {
    SCOPED_TRACE("ID3v1 only");
    const std::string tta = dir.Path("v1.tta");
    ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, tta, nullptr, 1001,
                        [](TTTAOut& out, TRawIn&) {
                          out.Id3v1Tags()->SetTitle("Only v1");
                          out.Id3v1Tags()->SetArtist("Old Artist");
                          out.Id3v1Tags()->SetYear(1999);
                        }),
              "");
    const auto f = ReadFile(tta);
    EXPECT_TRUE(startsWith(f, "TTA"));
    EXPECT_TRUE(hasV1(f));
    EXPECT_EQ(Probe(tta, "format_tags=title"), "Only v1");
    EXPECT_EQ(Probe(tta, "format_tags=artist"), "Old Artist");
    EXPECT_TRUE(FfmpegDecode(tta, "s16le") == expected);
  }
  {
    SCOPED_TRACE("ID3v2 only");
    const std::string tta = dir.Path("v2.tta");
    ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, tta, nullptr, 1001,
                        [](TTTAOut& out, TRawIn&) {
                          out.Id3v2Tags()->SetTitle(u"Tïtle v2");
                          out.Id3v2Tags()->SetAlbum(u"Album v2");
                        }),
              "");
    const auto f = ReadFile(tta);
    EXPECT_TRUE(startsWith(f, "ID3"));
    EXPECT_FALSE(hasV1(f));
    EXPECT_EQ(Probe(tta, "format_tags=title"), "Tïtle v2");
    EXPECT_EQ(Probe(tta, "format_tags=album"), "Album v2");
    EXPECT_TRUE(FfmpegDecode(tta, "s16le") == expected);
  }
  {
    SCOPED_TRACE("both");
    const std::string tta = dir.Path("both.tta");
    ASSERT_EQ(EncodeRaw(raw, 16, 2, 44100, tta, nullptr, 1001,
                        [](TTTAOut& out, TRawIn&) {
                          out.Id3v1Tags()->SetTitle("Both v1");
                          out.Id3v2Tags()->SetArtist(u"Both v2");
                        }),
              "");
    const auto f = ReadFile(tta);
    EXPECT_TRUE(startsWith(f, "ID3"));
    EXPECT_TRUE(hasV1(f));
    // ffprobe shows only one of the two tags; id3v2 lists both.
    std::string list;
    ASSERT_TRUE(RunOk("id3v2 -l " + Quote(tta), &list));
    EXPECT_NE(list.find("Title  : Both v1"), std::string::npos) << list;
    EXPECT_NE(list.find("TPE1 (Lead performer(s)/Soloist(s)): Both v2"), std::string::npos) << list;
    EXPECT_TRUE(FfmpegDecode(tta, "s16le") == expected);
    // Our own input reads both back and still decodes the audio exactly.
    TComponentPtr<TTTAIn> in(new TTTAIn(nullptr));
    in->SetFileName(tta);
    ASSERT_TRUE(in->Valid());
    EXPECT_EQ(in->Id3v1Tags()->Title(), "Both v1");
    EXPECT_EQ(in->Id3v2Tags()->Artist(), u"Both v2");
    EXPECT_TRUE(Collect(*in) == expected);
  }
}

TEST(TTAOutTest, AnOutputThatCannotCreateItsFileFailsBeforeTheInputStarts) {
  TTempDir dir;
  const std::string raw = dir.Path("some.raw");
  WriteFile(raw, std::vector<uint8_t>(4000, 0x10));
  struct Case {
    std::string FileName, Message;
  } cases[] = {{dir.Path("no-such-folder/out.tta"),
                "Cannot create \"" + dir.Path("no-such-folder/out.tta") + "\": No such file or directory"},
               {"", "File name is not defined!"}};
  for (const Case& c : cases) {
    TComponentPtr<TRawIn> in(new TRawIn(nullptr));
    in->SetFileName(raw);
    TComponentPtr<TTTAOut> out(new TTTAOut(nullptr));
    out->SetInput(in.get());
    out->SetFileName(c.FileName);
    EXPECT_EQ(RunOutput(*out), c.Message);
    // Its format may be read; a run of it would end by closing it.
    EXPECT_EQ(in->Closes, 0);
  }
}

TEST(TTAOutTest, AStoppedRunStillLeavesADecodableFile) {
  RequireTools({"sox", "ffmpeg"});
  TTempDir dir;
  const std::string raw = MakeRaw(dir, 16, 2, 44100, 20.0);
  const auto expected = ReadFile(raw);
  const std::string tta = dir.Path("stopped.tta");
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
  in->SetFileName(raw);
  in->MaxChunk = 1000;
  TComponentPtr<TTTAOut> out(new TTTAOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(tta);
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return out->Progress() >= 10 || !out->Busy(); }));
  out->Stop(false);
  EXPECT_FALSE(out->Busy());
  // A prefix of the audio, with a header that tells its real length.
  const auto decoded = FfmpegDecode(tta, "s16le");
  ASSERT_GT(decoded.size(), 0u);
  ASSERT_LE(decoded.size(), expected.size());
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), expected.begin()));
  const auto file = ReadFile(tta);
  EXPECT_EQ(Le32(file, 14), decoded.size() / 4);
}
