#include <gtest/gtest.h>
#include <sys/stat.h>

#include "fileinfo/TagFileIO.h"
#include "fileinfo/UWavFile.h"
#include "platform/rtl/ByteOrder.h"
#include "tests/fileinfo/TestSupport.h"

using namespace testsupport;

namespace {

std::string Trailer(const std::string& Text, uint32_t Track) {
  std::string t = Text;
  AppendLE32(t, Track);
  AppendLE32(t, static_cast<uint32_t>(Text.size() + 12));
  return t + "W3DI";
}

void ExpectValidWav(const std::string& File) {
  REQUIRE_TOOL("sox");
  REQUIRE_TOOL("ffprobe");
  auto r = RunTool("sox --i -s " + Quote(File));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_NE(r.Output.find("13230"), std::string::npos) << r.Output;  // 0.3 s at 44.1 kHz
  r = RunTool("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + Quote(File));
  EXPECT_EQ(r.ExitCode, 0) << r.Output;
  EXPECT_NE(r.Output.find("pcm_s16le"), std::string::npos) << r.Output;
}

class WavFileTest : public ::testing::Test {
protected:
  TTempDir Dir;
};

TEST_F(WavFileTest, WritesTheDocumentedTrailerAfterTheRiffData) {
  const std::string f = MakeWav(Dir, "a.wav");
  const std::string audio = ReadFileAsString(f);
  TWavFile w;
  w.SetTitle(u"A");
  w.SetArtist(u"B");
  w.SetTrack(u"7");
  ASSERT_TRUE(w.SaveToFile(f));
  const std::string now = ReadFileAsString(f);
  ASSERT_EQ(now.size(), audio.size() + 20);
  EXPECT_TRUE(now.compare(0, audio.size(), audio) == 0) << "audio bytes changed";
  EXPECT_EQ(now.substr(audio.size()), std::string("A\0B\0\0\0\0\0\x07\0\0\0\x14\0\0\0W3DI", 20));
  ExpectValidWav(f);
}

TEST_F(WavFileTest, RoundTripsEveryFieldAndKeepsOneTrailer) {
  const std::string f = MakeWav(Dir, "a.wav");
  const std::string audio = ReadFileAsString(f);
  TWavFile w;
  w.SetTitle(u"Caf\u00e9 Title");
  w.SetArtist(u"Artist");
  w.SetAlbum(u"Album");
  w.SetYear(u"1999");
  w.SetGenre(u"Rock");
  w.SetComment(u"A comment");
  w.SetTrack(u"12");
  ASSERT_TRUE(w.SaveToFile(f));
  w.SetTitle(u"Second");
  ASSERT_TRUE(w.SaveToFile(f));  // replaces, never stacks
  TWavFile r;
  ASSERT_TRUE(r.ReadFromFile(f));
  EXPECT_TRUE(r.Exists());
  EXPECT_EQ(r.Title(), u"Second");
  EXPECT_EQ(r.Artist(), u"Artist");
  EXPECT_EQ(r.Album(), u"Album");
  EXPECT_EQ(r.Year(), u"1999");
  EXPECT_EQ(r.Genre(), u"Rock");
  EXPECT_EQ(r.Comment(), u"A comment");
  EXPECT_EQ(r.Track(), u"12");
  const std::string now = ReadFileAsString(f);
  EXPECT_EQ(now.size(), audio.size() + std::string("Second Artist Album 1999 Rock A comment ").size() + 12);
  EXPECT_TRUE(now.compare(0, audio.size(), audio) == 0);
  ExpectValidWav(f);
  // A shorter trailer replaces a longer one too; no track is stored as 0 and reads
  // back as none.
  TWavFile s;
  ASSERT_TRUE(s.SaveToFile(f));
  EXPECT_EQ(ReadFileAsString(f).substr(audio.size()), Trailer(std::string(6, '\0'), 0));
  ASSERT_TRUE(r.ReadFromFile(f));
  EXPECT_TRUE(r.Exists());
  EXPECT_EQ(r.Track(), u"");
}

TEST_F(WavFileTest, TrackThatIsNoNumberBecomesOneAndWideCharactersBecomeQuestionMarks) {
  const std::string f = MakeWav(Dir, "a.wav");
  TWavFile w;
  w.SetTrack(u"x");
  w.SetTitle(u"\u0141\u00f3d\u017a");
  w.SetArtist(std::u16string(u"a\0b", 3));
  ASSERT_TRUE(w.SaveToFile(f));
  TWavFile r;
  ASSERT_TRUE(r.ReadFromFile(f));
  EXPECT_EQ(r.Track(), u"1");
  EXPECT_EQ(r.Title(), u"?\u00f3d?");
  EXPECT_EQ(r.Artist(), u"a?b");
  EXPECT_EQ(r.Album(), u"");
}

TEST_F(WavFileTest, FileWithoutTrailerReadsAsNoTag) {
  const std::string f = MakeWav(Dir, "a.wav");
  TWavFile r;
  EXPECT_TRUE(r.ReadFromFile(f));
  EXPECT_FALSE(r.Exists());
  EXPECT_FALSE(r.ReadFromFile(Dir / "missing.wav"));
  EXPECT_FALSE(r.Exists());
  TWavFile w;
  EXPECT_FALSE(w.SaveToFile(Dir / "missing.wav"));
}

// The writer cuts only its own trailer: other bytes after the RIFF data, a RIFF
// size past the end of the file or a file that is not RIFF stay as they are.
TEST_F(WavFileTest, WriterLeavesFilesItDoesNotUnderstandAlone) {
  const std::string f = MakeWav(Dir, "a.wav");
  const std::string audio = ReadFileAsString(f);
  const std::vector<std::string> cases = {
      audio + "LIST\x04\0\0\0INFO",                                  // a chunk after the data
      audio + Trailer(std::string("A\0B\0\0\0\0\0", 8), 1) + "x",    // trailer not at the end
      audio + std::string("A\0B\0\0\0\x07\0\0\0\x13\0\0\0W3DI", 19), // five fields only
      audio.substr(0, audio.size() - 100),                           // RIFF data cut short
      "RIFX" + audio.substr(4),
      "",
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    WriteFile(f, cases[i]);
    TWavFile w;
    w.SetTitle(u"T");
    EXPECT_FALSE(w.SaveToFile(f)) << "case " << i;
    EXPECT_TRUE(ReadFileAsString(f) == cases[i]) << "case " << i;
  }
}

TEST_F(WavFileTest, MalformedTrailersReadAsNoTagAndLeaveTheFileAlone) {
  const std::string f = MakeWav(Dir, "a.wav");
  const std::string audio = ReadFileAsString(f);
  const std::string six("T\0A\0\0\0\0\0", 8);
  const std::vector<std::string> cases = {
      audio + six + std::string("\1\0\0\0\xff\xff\xff\x7fW3DI", 12),  // absurd length
      audio + six + std::string("\1\0\0\0\x05\0\0\0W3DI", 12),        // below the minimum
      audio + six + std::string("\1\0\0\0\x15\0\0\0W3DX", 12),        // wrong magic
      audio + std::string("T\0A\0\0\0\0x", 8) + std::string("\1\0\0\0\x14\0\0\0W3DI", 12),
      audio.substr(0, 40) + six + std::string("\1\0\0\0\x14\0\0\0W3DI", 12),  // RIFF past the end
      std::string("W3DI"),
      std::string(11, '\0'),
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    WriteFile(f, cases[i]);
    TWavFile r;
    EXPECT_TRUE(r.ReadFromFile(f)) << "case " << i;
    EXPECT_FALSE(r.Exists()) << "case " << i;
    EXPECT_TRUE(ReadFileAsString(f) == cases[i]) << "case " << i;
  }
  // A trailer whose text part exceeds the reader's limit is refused by the writer.
  TWavFile big;
  big.SetComment(std::u16string(TWavFile::MaxTextSize, u'x'));
  WriteFile(f, audio);
  EXPECT_FALSE(big.SaveToFile(f));
  EXPECT_TRUE(ReadFileAsString(f) == audio);
}

TEST_F(WavFileTest, FuzzedTrailersNeverCrashOrChangeTheFile) {
  const std::string f = MakeWav(Dir, "a.wav", 0.01);
  TWavFile w;
  w.SetTitle(u"Title");
  w.SetComment(u"Comment");
  ASSERT_TRUE(w.SaveToFile(f));
  const std::string good = ReadFileAsString(f);
  uint32_t x = 7;
  for (int i = 0; i < 300; ++i) {
    std::string bad = good;
    for (int k = 0; k < 4; ++k) {
      x = x * 1103515245u + 12345u;
      const size_t pos = bad.size() - 1 - (x >> 8) % 40;
      bad[pos] = static_cast<char>(x >> 24);
    }
    WriteFile(f, bad);
    TWavFile r;
    EXPECT_TRUE(r.ReadFromFile(f));
    EXPECT_TRUE(ReadFileAsString(f) == bad);
  }
}

TEST_F(WavFileTest, ReadOnlyFileIsReportedAndKept) {
  const std::string f = MakeWav(Dir, "a.wav");
  const std::string before = ReadFileAsString(f);
  chmod(f.c_str(), 0444);
  TWavFile w;
  w.SetTitle(u"T");
  EXPECT_FALSE(w.SaveToFile(f));
  EXPECT_TRUE(ReadFileAsString(f) == before);
  struct stat st;
  stat(f.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST_F(WavFileTest, FailureAtEachStepLeavesTheOriginal) {
  const std::string f = MakeWav(Dir, "a.wav", 0.05);
  const std::string audio = ReadFileAsString(f);
  TWavFile w;
  w.SetTitle(u"T");
  const std::string withT = audio + Trailer(std::string("T\0\0\0\0\0\0", 7), 0);
  // Append in place.
  EXPECT_GE(FaultSweep(Dir, f, audio, withT, [&] { return w.SaveToFile(f); }), 4);
  // Replace with a trailer of another length: a complete new file.
  w.SetTitle(u"Longer");
  const std::string withLonger = audio + Trailer(std::string("Longer\0\0\0\0\0\0", 12), 0);
  EXPECT_GE(FaultSweep(Dir, f, withT, withLonger, [&] { return w.SaveToFile(f); }), 10);
  // Replace with one of the same length: in place.
  w.SetTitle(u"U");
  FaultSweep(Dir, f, withT, audio + Trailer(std::string("U\0\0\0\0\0\0", 7), 0),
             [&] { return w.SaveToFile(f); });
}

}  // namespace
