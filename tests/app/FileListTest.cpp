// The file list's own operations: moving and deleting entries together with their
// items, refusing what is listed already, measuring MP3 files, and the list's texts.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include "audio/io/TSL_smpeg.h"
#include "tests/app/RunWindow.h"
#include "tests/support/AudioSources.h"
#include "tests/support/Files.h"
#include "tests/support/Tags.h"
#include "tests/support/Tools.h"

using namespace testsupport;

namespace {

TEST(FileListTest, MovesAndDeletesTakeItemTickAndCurrentEntryAlong) {
  TTempDir in, out;
  TRunWindow w(out.Root());
  std::vector<std::string> names;
  for (const char* name : {"one.wav", "two.wav", "three.wav"}) names.push_back(MakeWave(in.Path(name), 8000, 1, 0.2));
  ASSERT_TRUE(w.Files->AddFiles(names));
  w.View->Items()->Item(2)->SetChecked(false);
  w.Files->SetCurrentIndex(1);
  const auto state = [&w] {
    std::string s;
    for (int32_t i = 0; i < w.Files->Count(); ++i) {
      const TListItem* item = w.View->Items()->Item(i);
      EXPECT_EQ(item->Caption(), w.Files->Entries(i).Caption);
      s += item->Caption() + (item->Checked() ? "+" : "-") + (item->Selected() ? "*" : "") + " ";
    }
    return s + std::to_string(w.Files->CurrentIndex()) + "/" + std::to_string(w.Files->CheckedCount());
  };
  w.Files->MoveItemDown(1);
  EXPECT_EQ(state(), "one.wav+ three.wav- two.wav+* 2/2");
  // The moved item takes the selection from its neighbour; others keep theirs.
  w.Files->MoveItemUp(1);
  EXPECT_EQ(state(), "three.wav-* one.wav+ two.wav+* 2/2");
  w.Files->MoveItemUp(0);
  w.Files->MoveItemDown(2);
  EXPECT_EQ(state(), "three.wav-* one.wav+ two.wav+* 2/2");
  w.Files->Delete(0);
  EXPECT_EQ(state(), "one.wav+ two.wav+* 1/2");
  w.Files->Delete(1);
  EXPECT_EQ(state(), "one.wav+ -1/1");
  // What is listed is refused again, what went can come back, whatever moved meanwhile.
  ASSERT_TRUE(w.Files->AddFiles(names));
  EXPECT_EQ(w.Captions(), (std::vector<std::string>{"one.wav", "two.wav", "three.wav"}));
  w.Files->Clear();
  ASSERT_TRUE(w.Files->AddFiles(names));
  EXPECT_EQ(w.Files->Count(), 3);
}

// Forms other tools write: a genre given only by its number, a track with the count
// of tracks; the list shows the genre's name and the track's number.
TEST(FileListTest, GenresByNumberAndTracksWithTotalsAreRead) {
  TTempDir in, out;
  const std::string mp3 = MakeMp3(in, "numbered.mp3", "-b 96 --id3v2-only");
  MutagenWriteTags("id3", mp3, {{"TPE1", "A"}, {"TCON", "(17)"}, {"TRCK", "3/12"}});
  const std::string wma = in.Path("counted.wma");
  Shell("ffmpeg -nostdin -v error -y -f lavfi -i sine=d=0.3 -c:a wmav2 -metadata artist=A -metadata track=3/12" +
        std::string(" -metadata genre=Rock ") + Quote(wma));
  TRunWindow w(out.Root());
  ASSERT_TRUE(w.Files->AddFiles({mp3, wma}));
  for (int32_t i = 0; i < w.Files->Count(); ++i) {
    const TTagSet& t = w.Files->Entries(i).CurrentTags;
    EXPECT_EQ(t.Genre + " " + t.Track, "Rock 3") << w.Files->Entries(i).FileName;
  }
}

// An MP3 file is measured by its frame headers, not by the media reader: every kind
// lame writes lasts what ffmpeg decodes of it, within a frame, and what the reader says.
TEST(FileListTest, Mp3FilesLastWhatTheyDecodeTo) {
  TTempDir in, out;
  const std::string wav = MakeWav(in, "s.wav", 2.3);
  std::vector<std::string> names;
  for (const std::string args : {"-b 128",                          // CBR: an Info header with a LAME tag
                                 "-V 4",                            // VBR: a Xing header
                                 "-t -b 96",                        // no header frame: told by the size
                                 "-t -V 4",                         // nor that: read by the media reader
                                 "-t -m m --resample 22.05 -b 32",  // MPEG-2, mono
                                 "-V 2 --add-id3v2 --pad-id3v2-size 3000 --tt Title"})  // after an ID3v2 tag
    names.push_back(EncodeMp3(wav, in.Path(CaseName(args) + ".mp3"), args));
  // ffmpeg's own header frame, in another channel mode than the audio.
  names.push_back(in.Path("ffmpeg.mp3"));
  Shell("ffmpeg -nostdin -v error -i " + Quote(wav) + " -c:a libmp3lame -q:a 4 " + Quote(names.back()));
  TRunWindow w(out.Root());
  ASSERT_TRUE(w.Files->AddFiles(names));
  ASSERT_EQ(w.Files->Count(), static_cast<int32_t>(names.size()));
  TComponentPtr<TMP3In> reader(new TMP3In(nullptr));
  for (int32_t i = 0; i < w.Files->Count(); ++i) {
    const TFileListEntry& e = w.Files->Entries(i);
    SCOPED_TRACE(e.FileName);
    const TAudioFacts facts = ProbeAudio(e.FileName);
    reader->SetFileName(e.FileName);
    EXPECT_NEAR(e.DataSize / (2 * facts.Channels), facts.Frames, 1152);
    EXPECT_EQ(e.Duration, reader->TotalTime());
  }
}

TEST(FileListTest, TimesAndSizesAsTheListShowsThem) {
  const struct {
    int64_t Bytes;
    const char* Text;
  } sizes[] = {{0, "0.00 MB"},
               {1572864, "1.50 MB"},           // 1.5 MB
               {129452998, "123.00 MB"},       // 123.456 MB: three significant digits
               {12944670, "12.30 MB"},         // 12.345 MB
               {14051, "0.01 MB"},
               {1294467072, "1.23E+03 MB"}};  // more than three digits before the point
  for (const auto& s : sizes) EXPECT_EQ(TFileList::SizeText(s.Bytes), s.Text) << s.Bytes;
  const struct {
    int32_t Seconds;
    const char* Text;
  } times[] = {{0, "0:00"}, {9, "0:09"}, {60, "1:00"}, {3725, "62:05"}};
  for (const auto& t : times) EXPECT_EQ(TFileList::FormatTime(t.Seconds), t.Text) << t.Seconds;
}

}  // namespace
