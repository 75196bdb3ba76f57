#include <gtest/gtest.h>

#include "fileinfo/TTA.h"
#include "fileinfo/TagFileIO.h"
#include "tests/fileinfo/TestSupport.h"

using namespace testsupport;

namespace {

class TTAFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    REQUIRE_TOOL("sox");
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
  }

  std::string MakeTTA(const std::string& Name, const std::string& SoxArgs, const std::string& Args = "") {
    const std::string wav = Dir / (Name + ".wav");
    auto r = RunTool("sox -n " + SoxArgs + " " + Quote(wav) + " synth 1 sine 440");
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    const std::string f = Dir / Name;
    r = RunTool("ffmpeg -v error -y -i " + Quote(wav) + " " + Args + " -c:a tta " + Quote(f));
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    unlink(wav.c_str());
    return f;
  }

  // One stream value as ffprobe reports it.
  int64_t Probe(const std::string& File, const std::string& Entry) {
    const auto r = RunTool("ffprobe -v error -select_streams a -show_entries stream=" + Entry +
                           " -of default=nw=1:nk=1 " + Quote(File));
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    return std::stoll(r.Output);
  }

  TTempDir Dir;
};

TEST_F(TTAFileTest, HeaderMatchesFfprobe) {
  for (const char* sox : {"-r 44100 -c 2 -b 16", "-r 22050 -c 1 -b 16", "-r 48000 -c 2 -b 24"}) {
    SCOPED_TRACE(sox);
    const std::string f = MakeTTA("a.tta", sox);
    TTTA t;
    ASSERT_TRUE(t.ReadFromFile(f));
    EXPECT_TRUE(t.Valid());
    EXPECT_EQ(t.Channels(), Probe(f, "channels"));
    EXPECT_EQ(t.SampleRate(), Probe(f, "sample_rate"));
    EXPECT_EQ(t.Bits(), Probe(f, "bits_per_raw_sample"));
    EXPECT_EQ(t.Samples(), Probe(f, "duration_ts"));
    EXPECT_DOUBLE_EQ(t.Duration(), 1.0);
    EXPECT_EQ(t.FileSize(), static_cast<int64_t>(ReadFileAsString(f).size()));
    EXPECT_DOUBLE_EQ(t.Bitrate(), t.FileSize() * 8.0 / 1000.0);
    EXPECT_FALSE(t.ID3v2().Exists());
    EXPECT_FALSE(t.ID3v1().Exists());
  }
}

TEST_F(TTAFileTest, AllThreeTagsAreReadAroundTheStream) {
  const std::string f = MakeTTA("a.tta", "-r 44100 -c 2 -b 16", "-metadata title=Ape");
  TID3v2 id3;
  id3.SetTitle("Id3v2 title");
  ASSERT_TRUE(id3.SaveToFile(f));
  TID3v1 v1;
  v1.SetTitle("Id3v1 title");
  ASSERT_TRUE(v1.SaveToFile(f));
  TTTA t;
  ASSERT_TRUE(t.ReadFromFile(f));
  EXPECT_TRUE(t.Valid());
  EXPECT_EQ(t.SampleRate(), 44100);
  EXPECT_DOUBLE_EQ(t.Duration(), 1.0);
  ASSERT_TRUE(t.ID3v2().Exists());
  EXPECT_EQ(t.ID3v2().Title(), "Id3v2 title");
  ASSERT_TRUE(t.ID3v1().Exists());
  EXPECT_EQ(t.ID3v1().GetTitle(), "Id3v1 title");
  ASSERT_TRUE(t.APETag().Exists());
  EXPECT_EQ(t.APETag().GetField("Title"), "Ape");
}

TEST_F(TTAFileTest, DamagedHeadersAreNotValid) {
  const std::string f = MakeTTA("a.tta", "-r 44100 -c 2 -b 16");
  const std::string good = ReadFileAsString(f);
  TTTA t;
  WriteFile(f, good.substr(0, 21));
  EXPECT_FALSE(t.ReadFromFile(f));
  EXPECT_FALSE(t.Valid());
  WriteFile(f, "TTA2" + good.substr(4));
  EXPECT_FALSE(t.ReadFromFile(f));
  // A zero rate or length still reads, with no duration and no bit rate.
  for (const size_t at : {10u, 14u}) {
    std::string s = good;
    s.replace(at, 4, 4, '\0');
    WriteFile(f, s);
    ASSERT_TRUE(t.ReadFromFile(f));
    EXPECT_TRUE(t.Valid());
    EXPECT_DOUBLE_EQ(t.Duration(), 0);
    EXPECT_DOUBLE_EQ(t.Bitrate(), 0);
  }
  EXPECT_FALSE(t.ReadFromFile(Dir / "missing.tta"));
}

}  // namespace
