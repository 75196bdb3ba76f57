// The file list's own operations: moving and deleting entries together with their
// items, and the list's texts.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

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
