// WavPack output: files checked and decoded by wvunpack.

#include <gtest/gtest.h>

#include "audio/codecs/wavpack/TSL_WavPack.h"
#include "platform/rtl/FileUtils.h"
#include "tests/support/Files.h"
#include "tests/support/Pcm.h"
#include "tests/support/Pipeline.h"
#include "tests/support/Tools.h"

using namespace testsupport;

namespace {

struct TEncodeOptions {
  TWVCompressionLevel Level = wvclFast;
  bool Joint = false;
  bool Hybrid = false;
  float Bitrate = 0;
  int64_t DeclaredSize = -2;  // TRawIn: -2 the real size, -1 unknown
  uint32_t MaxChunk = 4096;
};

// Encodes a raw file with our output; the run's error message.
std::string Encode(const std::string& Raw, const std::string& Wv, int Bits, int Channels, int Rate,
                   const TEncodeOptions& O, TAPEv2Tags* Tags = nullptr) {
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, Bits, Channels, Rate));
  in->SetFileName(Raw);
  in->DeclaredSize = O.DeclaredSize;
  in->MaxChunk = O.MaxChunk;
  TComponentPtr<TWVOut> out(new TWVOut(nullptr));
  out->SetInput(in.get());
  out->SetFileName(Wv);
  out->SetCompressionLevel(O.Level);
  out->SetJointStereo(O.Joint);
  out->SetHybridMode(O.Hybrid);
  out->SetBitrate(O.Bitrate);
  if (Tags) out->SetAPEv2Tags(*Tags);
  return RunOutput(*out);
}

// wvunpack's raw decode of a file (with its correction file when it is beside it).
std::vector<uint8_t> Unpack(const TTempDir& Dir, const std::string& Wv, std::string* Log = nullptr) {
  const std::string raw = Dir.Path("unpacked.raw");
  std::string log;
  EXPECT_TRUE(RunOk("wvunpack -y -r " + Quote(Wv) + " -o " + Quote(raw), &log)) << log;
  if (Log) *Log = log;
  auto d = ReadFile(raw);
  DeleteFile(raw);
  return d;
}

bool Verifies(const std::string& Wv, std::string* Log = nullptr) { return RunOk("wvunpack -v " + Quote(Wv), Log); }

}  // namespace

TEST(WavPackOutTest, LosslessAtEveryWidthAndLevelDecodesBitExact) {
  RequireTools({"sox", "wvunpack", "ffprobe"});
  TTempDir dir;
  struct TCase {
    int Bits, Channels;
    TWVCompressionLevel Level;
    bool Joint;
  } cases[] = {{8, 2, wvclFast, false}, {16, 2, wvclHigh, true}, {16, 1, wvclVeryHigh, false},
               {24, 2, wvclHigh, false}, {32, 2, wvclFast, true}, {16, 6, wvclFast, false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Bits << " bits, " << c.Channels << " channels");
    MakeSource(dir, "src", c.Bits, c.Channels, 44100, 1.7);
    const std::string wv = dir.Path("out.wv");
    TEncodeOptions o;
    o.Level = c.Level;
    o.Joint = c.Joint;
    // A chunk that ends inside a frame: the rest must carry over to the next block.
    o.MaxChunk = 4093;
    ASSERT_EQ(Encode(dir.Path("src.raw"), wv, c.Bits, c.Channels, 44100, o), "");
    std::string log;
    EXPECT_TRUE(Verifies(wv, &log)) << log;
    EXPECT_EQ(Unpack(dir, wv), ReadFile(dir.Path("src.raw")));
    std::string info;
    RunOk("wvunpack -s " + Quote(wv), &info);
    EXPECT_NE(info.find(std::to_string(c.Bits) + "-bit"), std::string::npos) << info;
    const char* modes[] = {"lossless, fast", "lossless, high", "lossless, very high"};
    EXPECT_NE(info.find(modes[c.Level]), std::string::npos) << info;
    EXPECT_FALSE(FileExists(dir.Path("out.wvc")));
    // Other decoders need the speaker mask to open files of more than two channels.
    EXPECT_EQ(ProbeAudio(wv).Channels, c.Channels);
  }
}

TEST(WavPackOutTest, JointStereoIsForcedWhenAskedAndOtherwiseTheLibrarysChoice) {
  // Channels that are nearly alike: a sine with pink noise, the right channel 0.9 of the
  // left plus faint white noise. Left to choose, the library packs them as wavpack does.
  RequireTools({"sox", "wavpack", "wvunpack"});
  TTempDir dir;
  const std::string three = dir.Path("three.wav"), wav = dir.Path("src.wav"), raw = dir.Path("src.raw");
  Shell("sox -R -D -n -r 44100 -b 16 -c 3 " + Quote(three) + " synth 4 sine 440 pinknoise whitenoise");
  Shell("sox -R -D " + Quote(three) + " " + Quote(wav) + " remix 1v0.4,2v0.4 1v0.36,2v0.36,3v0.004");
  Shell("sox " + Quote(wav) + " -t raw " + Quote(raw));
  const std::string tool = dir.Path("tool.wv");
  Shell("wavpack -q -y -f " + Quote(wav) + " -o " + Quote(tool));
  for (bool joint : {false, true}) {
    SCOPED_TRACE(joint);
    const std::string wv = dir.Path("j.wv");
    TEncodeOptions o;
    o.Joint = joint;
    ASSERT_EQ(Encode(raw, wv, 16, 2, 44100, o), "");
    EXPECT_EQ(Unpack(dir, wv), ReadFile(raw));
    EXPECT_LT(FileSize(wv), FileSize(tool) * 103 / 100) << FileSize(tool);
    // The flags of every block (bytes 24..27 of its header; 0x10 is joint stereo).
    const std::vector<uint8_t> file = ReadFile(wv);
    int blocks = 0, jointBlocks = 0;
    for (size_t at = 0; at + 32 <= file.size(); at += 8 + Le32(file, at + 4), ++blocks) {
      ASSERT_EQ(std::string(file.begin() + at, file.begin() + at + 4), "wvpk") << at;
      if (Le32(file, at + 24) & 0x10) ++jointBlocks;
    }
    ASSERT_GT(blocks, 1);
    if (joint) EXPECT_EQ(jointBlocks, blocks);
  }
}

TEST(WavPackOutTest, HybridWritesACorrectionFileThatRestoresEveryBit) {
  RequireTools({"sox", "wvunpack"});
  TTempDir dir;
  for (float rate : {256.0f, 0.0f}) {  // 0 asks the library for its lowest rate
    SCOPED_TRACE(rate);
    MakeSource(dir, "src", 16, 2, 44100, 2.0);
    const std::vector<uint8_t> src = ReadFile(dir.Path("src.raw"));
    TEncodeOptions o;
    o.Hybrid = true;
    o.Bitrate = rate;
    const std::string wv = dir.Path("h.wv"), wvc = dir.Path("h.wvc");
    ASSERT_EQ(Encode(dir.Path("src.raw"), wv, 16, 2, 44100, o), "");
    ASSERT_TRUE(FileExists(wvc));
    std::string log;
    EXPECT_TRUE(Verifies(wv, &log)) << log;
    std::string info;
    RunOk("wvunpack -s " + Quote(wv), &info);
    EXPECT_NE(info.find("hybrid lossless"), std::string::npos) << info;
    EXPECT_EQ(Unpack(dir, wv), src);
    // The main file alone is the lossy part: same length, close to the source, not equal.
    const int64_t mainSize = FileSize(wv);
    EXPECT_LT(mainSize, int64_t(src.size()) / 2);
    ASSERT_TRUE(RenameFile(wvc, dir.Path("aside.wvc")));
    const std::vector<uint8_t> lossy = Unpack(dir, wv);
    ASSERT_EQ(lossy.size(), src.size());
    EXPECT_NE(lossy, src);
    EXPECT_GT(BestCorrelation(ChannelSamples(src, 16, 2, 0), ChannelSamples(lossy, 16, 2, 0), 0), 0.98);
    DeleteFile(dir.Path("aside.wvc"));
  }
}

TEST(WavPackOutTest, SampleCountIsPutRightWhenTheInputSizeWasUnknownOrWrong) {
  RequireTools({"sox", "wvunpack"});
  TTempDir dir;
  MakeSource(dir, "src", 24, 2, 48000, 1.3);
  const std::vector<uint8_t> src = ReadFile(dir.Path("src.raw"));
  const uint32_t frames = uint32_t(src.size() / 6);
  for (int64_t declared : {int64_t(-1), int64_t(src.size()) * 3, int64_t(src.size())}) {
    SCOPED_TRACE(declared);
    TEncodeOptions o;
    o.DeclaredSize = declared;
    o.Hybrid = declared == -1;  // the correction file's header is put right too
    o.Bitrate = 400;
    const std::string wv = dir.Path("n.wv");
    ASSERT_EQ(Encode(dir.Path("src.raw"), wv, 24, 2, 48000, o), "");
    // total_samples of the first block header (bytes 12..15).
    const std::vector<uint8_t> file = ReadFile(wv);
    ASSERT_GT(file.size(), 32u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "wvpk");
    EXPECT_EQ(Le32(file, 12), frames);
    if (o.Hybrid) {
      EXPECT_EQ(Le32(ReadFile(dir.Path("n.wvc")), 12), frames);
    }
    std::string log;
    EXPECT_TRUE(Verifies(wv, &log)) << log;
    EXPECT_EQ(Unpack(dir, wv), src);
  }
}

TEST(WavPackOutTest, TagItemsAreWrittenAsApev2) {
  RequireTools({"sox", "wvunpack"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 0.5);
  TAPEv2Tags tags;
  tags.SetTitle(u"Grüße aus Köln");
  tags.SetArtist(u"Артист");
  tags.SetYear("1999");
  tags.SetValue("Track", TTagValue(int64_t(7)));  // a number goes as its decimal text
  const std::string wv = dir.Path("t.wv");
  ASSERT_EQ(Encode(dir.Path("src.raw"), wv, 16, 2, 44100, {}, &tags), "");
  std::string ss;
  ASSERT_TRUE(RunOk("wvunpack -ss " + Quote(wv), &ss));
  EXPECT_NE(ss.find("APEv2 tag items:   4"), std::string::npos) << ss;
  EXPECT_NE(ss.find("Title:             Grüße aus Köln"), std::string::npos) << ss;
  EXPECT_NE(ss.find("Artist:            Артист"), std::string::npos) << ss;
  EXPECT_NE(ss.find("Year:              1999"), std::string::npos) << ss;
  EXPECT_NE(ss.find("Track:             7"), std::string::npos) << ss;
  EXPECT_EQ(Unpack(dir, wv), ReadFile(dir.Path("src.raw")));

  // No tag at all for an empty set.
  ASSERT_EQ(Encode(dir.Path("src.raw"), wv, 16, 2, 44100, {}), "");
  RunOk("wvunpack -ss " + Quote(wv), &ss);
  EXPECT_EQ(ss.find("APEv2"), std::string::npos) << ss;
}

TEST(WavPackOutTest, StreamsOfTheCallerAreWrittenAndKept) {
  RequireTools({"sox", "wvunpack"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 1, 22050, 1.0);
  TMemoryStream main, correction;
  {
    TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 1, 22050));
    in->SetFileName(dir.Path("src.raw"));
    TComponentPtr<TWVOut> out(new TWVOut(nullptr));
    out->SetInput(in.get());
    out->SetStream(&main);
    out->SetCorrectionStream(&correction);
    out->SetHybridMode(true);
    out->SetBitrate(96);
    ASSERT_EQ(RunOutput(*out), "");
  }
  ASSERT_GT(main.Size(), 0);
  ASSERT_GT(correction.Size(), 0);
  main.SaveToFile(dir.Path("m.wv"));
  correction.SaveToFile(dir.Path("m.wvc"));
  EXPECT_EQ(Unpack(dir, dir.Path("m.wv")), ReadFile(dir.Path("src.raw")));
}

TEST(WavPackOutTest, FailuresEndTheRunWithAMessage) {
  RequireTools({"sox"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 0.5);
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
  in->SetFileName(dir.Path("src.raw"));
  TComponentPtr<TWVOut> out(new TWVOut(nullptr));
  out->SetInput(in.get());
  EXPECT_EQ(RunOutput(*out), "File name is not assigned");

  // A format the library refuses.
  TComponentPtr<TRawIn> wide(new TRawIn(nullptr, 16, 5000, 44100));
  wide->SetFileName(dir.Path("src.raw"));
  out->SetInput(wide.get());
  out->SetFileName(dir.Path("wide.wv"));
  EXPECT_EQ(RunOutput(*out), "A WavPack file holds 1 to 4096 channels; the source has 5000.");
  out->SetInput(in.get());

  // A destination that takes no bytes (a full disk) is an error, not a finished file.
  TZeroWriteStream full;
  out->SetStream(&full);
  EXPECT_EQ(RunOutput(*out).rfind("Wavpack file write failed!", 0), 0u) << out->ExceptionMessage();
  EXPECT_FALSE(in->Busy());
}

TEST(WavPackOutTest, StoppedRunLeavesAValidFileOfWhatWasRead) {
  RequireTools({"sox", "wvunpack"});
  TTempDir dir;
  MakeSource(dir, "src", 16, 2, 44100, 30.0);
  const std::vector<uint8_t> src = ReadFile(dir.Path("src.raw"));
  TComponentPtr<TRawIn> in(new TRawIn(nullptr, 16, 2, 44100));
  in->SetFileName(dir.Path("src.raw"));
  TComponentPtr<TWVOut> out(new TWVOut(nullptr));
  out->SetInput(in.get());
  const std::string wv = dir.Path("stopped.wv");
  out->SetFileName(wv);
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return out->Progress() >= 20 || !out->Busy(); }));
  out->Stop(false);
  ASSERT_EQ(out->ExceptionMessage(), "");
  std::string log;
  EXPECT_TRUE(Verifies(wv, &log)) << log;
  const std::vector<uint8_t> got = Unpack(dir, wv);
  ASSERT_GT(got.size(), 0u);
  ASSERT_LT(got.size(), src.size());
  EXPECT_TRUE(std::equal(got.begin(), got.end(), src.begin()));
  EXPECT_EQ(Le32(ReadFile(wv), 12), got.size() / 4);  // the header tells the real length
}
