#include <gtest/gtest.h>

#include <cstdlib>

#include "fileinfo/TagFileIO.h"
#include "fileinfo/WAVPackFile.h"
#include "platform/rtl/ByteOrder.h"
#include "tests/fileinfo/TestSupport.h"
#include "tests/support/Pcm.h"

using namespace testsupport;

namespace {


void PatchLE32(std::string& S, size_t At, uint32_t V) { S.replace(At, 4, Le32String(V)); }

// What wvunpack -s says about a file.
struct TSummary {
  int Bits = 0, Rate = 0, Channels = 0;
  std::string Modalities;
};

// The text after "Label:" on its line of Text.
std::string Value(const std::string& Text, const std::string& Label) {
  const size_t at = Text.find(Label + ":");
  if (at == std::string::npos) return std::string();
  const size_t b = Text.find_first_not_of(' ', at + Label.size() + 1);
  return Text.substr(b, Text.find('\n', b) - b);
}

TSummary Summary(const std::string& File) {
  const auto r = RunTool("wvunpack -s " + Quote(File));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  TSummary s;
  // "16-bit ints at 44100 Hz"
  const std::string source = Value(r.Output, "source");
  s.Bits = std::atoi(source.c_str());
  const size_t at = source.find(" at ");
  if (at != std::string::npos) s.Rate = std::atoi(source.c_str() + at + 4);
  s.Channels = std::atoi(Value(r.Output, "channels").c_str());
  s.Modalities = Value(r.Output, "modalities");
  return s;
}

// A file of the old format: a WAV header, then the version 1-3 block header
// right after the data chunk's header.
std::string OldFormat(uint16_t Bits, uint16_t Flags, const std::string& Extra = std::string("LIST\3\0\0\0abc\0", 12)) {
  const std::string fmt = "fmt " + Le32String(16) + Le16String(1) + Le16String(2) + Le32String(22050) +
                          Le32String(88200) + Le16String(4) + Le16String(16);
  const std::string wvpk = "wvpk" + Le32String(100) + Le16String(3) + Le16String(Bits) + Le16String(Flags) +
                           Le16String(0) + Le32String(44100) + Le32String(0) + Le32String(0) +
                           std::string("wvc\0", 4) + std::string(4, '\0');
  const std::string body = "WAVE" + Extra + fmt + "data" + Le32String(176400) + wvpk + std::string(100, 'a');
  return "RIFF" + Le32String(static_cast<uint32_t>(body.size())) + body;
}

class WAVPackFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("wavpack");
    REQUIRE_TOOL("wvunpack");
  }

  std::string MakeWv(const std::string& Name, const std::string& Args, const std::string& SoxArgs) {
    const std::string wav = Dir / (Name + ".wav");
    auto r = RunTool("sox -n " + SoxArgs + " " + Quote(wav) + " synth 1 sine 440");
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    const std::string f = Dir / Name;
    r = RunTool("wavpack -q -y " + Args + " " + Quote(wav) + " -o " + Quote(f));
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    unlink(wav.c_str());
    return f;
  }

  TTempDir Dir;
};

TEST_F(WAVPackFileTest, BlockFormatHeadersMatchWvunpack) {
  REQUIRE_TOOL("ffprobe");
  struct TCase {
    const char* Args;
    const char* Sox;
    const char* Encoder;
  } cases[] = {
      {"-f", "-r 44100 -c 2 -b 16", "lossless (fast)"},
      {"", "-r 44100 -c 2 -b 16", "lossless (normal)"},
      {"-h", "-r 44100 -c 2 -b 16", "lossless (high)"},
      {"-hh", "-r 44100 -c 2 -b 16", "lossless (high)"},
      {"-b3", "-r 44100 -c 2 -b 16", "hybrid lossy (normal)"},
      {"-b3 -h", "-r 44100 -c 2 -b 16", "hybrid lossy (high)"},
      {"", "-r 22050 -c 1 -b 16", "lossless (normal)"},
      {"", "-r 48000 -c 2 -b 24", "lossless (normal)"},
      {"-f", "-r 8000 -c 1 -b 8", "lossless (fast)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Args) + " " + c.Sox);
    const std::string f = MakeWv("a.wv", c.Args, c.Sox);
    const TSummary s = Summary(f);
    TWAVPackfile t;
    ASSERT_TRUE(t.ReadFromFile(f));
    EXPECT_TRUE(t.Valid());
    EXPECT_EQ(t.SampleRate(), s.Rate);
    EXPECT_EQ(t.Channels(), s.Channels);
    EXPECT_EQ(t.Bits(), s.Bits);
    EXPECT_EQ(t.Encoder(), c.Encoder) << "wvunpack: " << s.Modalities;
    const auto probe = RunTool("ffprobe -v error -show_entries stream=duration_ts -of default=nw=1:nk=1 " + Quote(f));
    ASSERT_EQ(probe.ExitCode, 0) << probe.Output;
    EXPECT_EQ(t.Samples(), std::stoll(probe.Output));
    EXPECT_DOUBLE_EQ(t.Duration(), 1.0);
    EXPECT_EQ(t.FileSize(), static_cast<int64_t>(ReadFileAsString(f).size()));
    EXPECT_DOUBLE_EQ(t.Bitrate(), t.FileSize() * 8.0 / 1000.0);
    EXPECT_GE(t.Version(), 0x402);
  }
}

TEST_F(WAVPackFileTest, SampleRateIndexIsMaskedAndCountsAreGuarded) {
  const std::string f = MakeWv("a.wv", "", "-r 48000 -c 2 -b 16");
  const std::string good = ReadFileAsString(f);
  const uint32_t flags = GetLE32(good.data() + 24);
  auto readWith = [&](uint32_t Flags, uint32_t Total) {
    std::string s = good;
    PatchLE32(s, 24, Flags);
    PatchLE32(s, 12, Total);
    WriteFile(f, s);
    TWAVPackfile t;
    EXPECT_TRUE(t.ReadFromFile(f));
    return t;
  };
  const uint32_t noRate = flags & ~(0xFu << 23);
  EXPECT_EQ(readWith(noRate | (9u << 23), 44100).SampleRate(), 44100);
  EXPECT_EQ(readWith(noRate | (15u << 23), 44100).SampleRate(), 44100);
  EXPECT_EQ(readWith(noRate | (14u << 23), 44100).SampleRate(), 192000);
  // Flag bits above the index do not move it.
  EXPECT_EQ(readWith(noRate | (10u << 23) | (1u << 27) | (1u << 30), 44100).SampleRate(), 48000);
  EXPECT_EQ(readWith(noRate | (0u << 23), 6000).SampleRate(), 6000);
  EXPECT_DOUBLE_EQ(readWith(noRate | (0u << 23), 6000).Duration(), 1.0);

  for (const uint32_t total : {0u, 0xFFFFFFFFu}) {
    const TWAVPackfile t = readWith(flags, total);
    EXPECT_TRUE(t.Valid());
    EXPECT_EQ(t.Samples(), 0);
    EXPECT_DOUBLE_EQ(t.Duration(), 0);
    EXPECT_DOUBLE_EQ(t.Bitrate(), 0);
  }
  // A block cut short: the mode search stops at the end of the file.
  WriteFile(f, good.substr(0, 40));
  TWAVPackfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Encoder(), "lossless");
  WriteFile(f, good.substr(0, 31));
  EXPECT_FALSE(t.ReadFromFile(f));
}

TEST_F(WAVPackFileTest, OldFormatEncoderTextsAndChunkWalk) {
  const std::string f = Dir / "old.wv";
  struct TCase {
    uint16_t Bits, Flags;
    const char* Encoder;
  } cases[] = {
      {0, 0x0, "lossless (fast mode)"},
      {0, 0x10, "lossless"},
      {0, 0x10 | 0x8000, "lossless (high mode)"},
      {12, 0x400, "hybrid lossy"},
      {12, 0x400 | 0x80, "hybrid lossless"},
      {12, 0x400 | 0x8000, "hybrid lossy (high)"},
      {8, 0x10, "8-bit lossy"},
  };
  for (const auto& c : cases) {
    WriteFile(f, OldFormat(c.Bits, c.Flags));
    TWAVPackfile t;
    ASSERT_TRUE(t.ReadFromFile(f)) << c.Encoder;
    EXPECT_TRUE(t.Valid());
    EXPECT_EQ(t.Encoder(), c.Encoder);
    EXPECT_EQ(t.Version(), 3);
    EXPECT_EQ(t.Channels(), 2);
    EXPECT_EQ(t.SampleRate(), 22050);
    EXPECT_EQ(t.Bits(), 16);
    EXPECT_EQ(t.Samples(), 44100);
    EXPECT_DOUBLE_EQ(t.Duration(), 2.0);
  }
  WriteFile(f, OldFormat(0, 0x1));
  TWAVPackfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_EQ(t.Channels(), 1);

  auto refused = [&](const std::string& Bytes, const char* What) {
    WriteFile(f, Bytes);
    TWAVPackfile b;
    EXPECT_FALSE(b.ReadFromFile(f)) << What;
    EXPECT_FALSE(b.Valid()) << What;
  };
  std::string s = OldFormat(0, 0);
  s.replace(8, 4, "WAVX");
  refused(s, "no WAVE mark");
  refused(OldFormat(0, 0, "LIST" + Le32String(0x7FFFFFF0) + "abc"), "chunk beyond the end");
  s = OldFormat(0, 0);
  s.replace(s.find("wvpk"), 4, "wvpq");
  refused(s, "no wvpk after the data chunk");
  s = OldFormat(0, 0);
  refused(s.substr(0, s.find("wvpk") + 10), "header cut short");
  s.replace(s.find("fmt ") + 4, 4, Le32String(14));
  refused(s, "short fmt chunk");
}

TEST_F(WAVPackFileTest, APETagIsReadWhateverTheFile) {
  const std::string f = MakeWv("a.wv", "-w 'Artist=Me' -w 'Title=T'", "-r 44100 -c 2 -b 16");
  TWAVPackfile t;
  ASSERT_TRUE(t.ReadFromFile(f));
  ASSERT_TRUE(t.APETag().Exists());
  EXPECT_EQ(t.APETag().GetField("Artist"), "Me");
  EXPECT_EQ(t.APETag().GetField("Title"), "T");

  // Neither "RIFF" nor "wvpk": not WavPack, but the tag is still there to see.
  const std::string g = Dir / "other.bin";
  WriteFile(g, Filler(500));
  TAPETag w;
  w.AppendField("Album", "A");
  ASSERT_TRUE(w.SaveToFile(g));
  EXPECT_FALSE(t.ReadFromFile(g));
  EXPECT_FALSE(t.Valid());
  EXPECT_TRUE(t.APETag().Exists());
  EXPECT_EQ(t.APETag().GetField("Album"), "A");
  EXPECT_EQ(t.APETag().GetField("Artist"), "");
  EXPECT_FALSE(t.ReadFromFile(Dir / "missing.wv"));
}

}  // namespace
