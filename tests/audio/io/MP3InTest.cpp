// MP3 through TMP3In: files made by lame (constant and variable bit rate, with and
// without the Xing/LAME frame) read sample-exact against ffmpeg's decode, ranges,
// and the tags.

#include <gtest/gtest.h>

#include "audio/io/TSL_smpeg.h"
#include "tests/support/TestComponents.h"
#include "tests/audio/io/WinMediaTestUtil.h"
#include "tests/support/Tags.h"
#include "tests/support/Tools.h"

using namespace wmtest;

namespace {

std::string MakeMp3(const std::string& Name, const std::string& LameArgs, int Rate = 44100, int Channels = 2) {
  return testsupport::EncodeMp3(MakeSource(Name + ".wav", Rate, Channels, 3.1), TempPath(Name + ".mp3"), LameArgs);
}

}  // namespace

TEST(MP3InTest, LameFilesReadSampleExactAgainstFfmpeg) {
  struct Case {
    const char* Name;
    const char* Args;
    int Rate, Channels;
  } cases[] = {
      {"cbr", "-b 128", 44100, 2},            // with the "Info" frame: delay and padding cut
      {"vbr", "-V 4", 44100, 2},              // Xing frame
      {"vbr_noxing", "-V 4 -t", 44100, 2},    // no Xing frame: nothing is cut
      {"mono22", "-b 48 -m m", 22050, 1},     // MPEG-2, 576 samples per frame
      {"cbr_noinfo", "-b 96 -t", 32000, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = MakeMp3(c.Name, c.Args, c.Rate, c.Channels);
    TComponentPtr<TMP3In> in(new TMP3In(nullptr));
    in->SetFileName(path);
    const TRead r = ReadAll(*in, 3333);
    ASSERT_TRUE(r.Valid);
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Bits, 16);
    EXPECT_EQ(r.Channels, c.Channels);
    EXPECT_EQ(r.Rate, c.Rate);
    const auto ref = FfmpegDecode(path);
    EXPECT_EQ(r.Size, static_cast<int64_t>(ref.size()));
    EXPECT_TRUE(r.Data == ref) << r.Data.size() << " bytes against " << ref.size();
  }
}

TEST(MP3InTest, RangesLandOnTheExactSample) {
  for (const char* args : {"-V 2", "-b 160 -t"}) {
    SCOPED_TRACE(args);
    const std::string path = MakeMp3(std::string("range") + (args[1] == 'V' ? "v" : "c"), args);
    const auto ref = FfmpegDecode(path);
    const int64_t frames = static_cast<int64_t>(ref.size()) / 4;
    TComponentPtr<TMP3In> in(new TMP3In(nullptr));
    in->SetFileName(path);
    for (int64_t start : {int64_t(1), int64_t(1151), int64_t(20000), int64_t(99999), frames - 5}) {
      SCOPED_TRACE(start);
      in->SetStartSample(start);
      in->SetEndSample(start + 4000);
      const TRead r = ReadAll(*in);
      const auto want = ByteRange(ref, start * 4, (start + 4001) * 4);
      EXPECT_EQ(r.Size, static_cast<int64_t>(want.size()));
      EXPECT_TRUE(r.Data == want);
    }
  }
}

TEST(MP3InTest, Id3v2TagsAreRead) {
  const std::string path =
      MakeMp3("tagged", "-b 128 --tt 'A Title' --ta 'An Artist' --tl 'The Album' --ty 2004 --tn 5 --tg Rock "
                        "--id3v2-only");
  TComponentPtr<TMP3In> in(new TMP3In(nullptr));
  in->SetFileName(path);
  TId3v2Tags* t = in->Id3v2Tags();
  ASSERT_TRUE(in->Valid());
  EXPECT_EQ(t->Title(), u"A Title");
  EXPECT_EQ(t->Artist(), u"An Artist");
  EXPECT_EQ(t->Album(), u"The Album");
  EXPECT_EQ(t->Year(), "2004");
  EXPECT_EQ(t->Track(), "5");
  EXPECT_EQ(t->Genre(), u"Rock");
  // The tag does not end up in the audio.
  const TRead r = ReadAll(*in);
  EXPECT_TRUE(r.Data == FfmpegDecode(path));
}

// An ID3v1 block holds ISO-8859-1, whatever the texts look like.
TEST(MP3InTest, Id3v1TextsAreLatin1) {
  const std::string path = MakeMp3("v1", "-b 128");
  const std::string audio = testsupport::ReadFileAsString(path);
  WriteFile(path, audio + testsupport::Id3v1Block("Caf\xE9", "Art\xEFste  ", "\xC3\xA9t\xE9", "1999", "Cr\xE8me", 3, 17));
  TComponentPtr<TMP3In> in(new TMP3In(nullptr));
  in->SetFileName(path);
  ASSERT_TRUE(in->Valid());
  TId3v2Tags* t = in->Id3v2Tags();
  EXPECT_EQ(t->Title(), u"Caf\u00e9");
  EXPECT_EQ(t->Artist(), u"Art\u00efste");
  EXPECT_EQ(t->Album(), u"\u00c3\u00a9t\u00e9");  // bytes that happen to form UTF-8 are Latin-1 too
  EXPECT_EQ(t->Year(), "1999");
}

TEST(MP3InTest, ASecondOpenOfTheSameFileGivesTheSameLength) {
  // The length is measured once per file and kept; a changed file is measured again.
  const std::string path = MakeMp3("remeasure", "-b 128");
  TComponentPtr<TMP3In> in(new TMP3In(nullptr));
  in->SetFileName(path);
  const int64_t first = in->TotalSamples();
  in->SetFileName("");
  in->SetFileName(path);
  EXPECT_EQ(in->TotalSamples(), first);
  in->SetFileName("");
  const std::string other = MakeMp3("remeasure2", "-b 128");
  // Same name, other content (shorter), newer time stamp.
  Shell("sox -n -r 44100 -c 2 -b 16 '" + TempPath("short.wav") + "' synth 1.0 sine 500");
  testsupport::EncodeMp3(TempPath("short.wav"), path + ".new");
  Shell("mv '" + path + ".new' '" + path + "'");
  in->SetFileName(path);
  EXPECT_EQ(in->TotalSamples() * 4, static_cast<int64_t>(FfmpegDecode(path).size()));
  EXPECT_LT(in->TotalSamples(), first);
  (void)other;
}
