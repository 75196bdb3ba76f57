// The file list's own operations: adding files with the unsupported ones reported
// once, moving and deleting entries together with their items, and the list's texts.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/app/RunWindow.h"
#include "tests/support/AudioSources.h"
#include "tests/support/Files.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

TEST(FileListTest, AddMoveAndDeleteKeepEveryEntryWithItsItem) {
  TTempDir in, out;
  TRunWindow w(out.Root());
  for (const char* name : {"one.wav", "two.wav", "three.wav"}) MakeWave(in.Path(name), 8000, 1, 0.1 * (name[1] - 'a'));
  for (const char* name : {"x.xyz", "c.abc", "d.xyz"}) WriteFile(in.Path(name), std::string("?"));
  WriteFile(in.Path("bad.mp3"), std::string(2000, 'z'));
  fs::create_directory(in.Path("folder.wav"));

  TDialogScript script;
  script.Answer(IDOK);
  EXPECT_FALSE(w.Files->AddFiles({in.Path("x.xyz"), in.Path("one.wav"), in.Path("c.abc"), in.Path("d.xyz"),
                                  in.Path("folder.wav"), in.Path("one.wav"), in.Path("bad.mp3"), in.Path("two.wav"),
                                  in.Path("three.wav")}));
  ASSERT_EQ(script.Requests().size(), 1u);
  EXPECT_EQ(script.Requests()[0].Caption, "Not supported file");
  EXPECT_EQ(script.Requests()[0].Text,
            "Not supported file extension is detected.\nFiles with extensions .xyz .abc have not been added.");
  EXPECT_EQ(script.Requests()[0].Icon(), uint32_t(MB_ICONERROR));
  ASSERT_EQ(w.Captions(), (std::vector<std::string>{"one.wav", "two.wav", "three.wav"}));
  EXPECT_EQ(w.Files->IndexOfFile(in.Path("two.wav")), 1);
  EXPECT_EQ(w.Files->IndexOfFile(in.Path("TWO.wav")), -1);

  // Entry and item go together, with the tick and the texts of the item.
  const auto inStep = [&w] {
    for (int32_t i = 0; i < w.Files->Count(); ++i) {
      const TListItem* item = w.View->Items()->Item(i);
      EXPECT_EQ(item->Caption(), w.Files->Entries(i).Caption);
      EXPECT_EQ(item->Checked(), w.Files->Entries(i).Checked);
      EXPECT_EQ(item->SubItems()->Strings(0), TFileList::FormatTime(w.Files->Entries(i).Duration));
    }
  };
  w.View->Items()->Item(2)->SetChecked(false);
  w.Files->SyncChecked();
  EXPECT_EQ(w.Files->CheckedCount(), 2);
  w.Files->SetCurrentIndex(1);
  w.Files->MoveItemDown(1);
  EXPECT_EQ(w.Captions(), (std::vector<std::string>{"one.wav", "three.wav", "two.wav"}));
  EXPECT_EQ(w.Files->CurrentIndex(), 2);
  EXPECT_TRUE(w.View->Items()->Item(2)->Selected());
  EXPECT_FALSE(w.View->Items()->Item(1)->Selected());
  inStep();
  w.Files->MoveItemUp(1);
  EXPECT_EQ(w.Captions(), (std::vector<std::string>{"three.wav", "one.wav", "two.wav"}));
  EXPECT_TRUE(w.View->Items()->Item(0)->Selected());
  inStep();
  w.Files->MoveItemUp(0);
  w.Files->MoveItemDown(2);
  EXPECT_EQ(w.Captions(), (std::vector<std::string>{"three.wav", "one.wav", "two.wav"}));

  w.Files->Delete(0);
  EXPECT_EQ(w.Files->CurrentIndex(), 1);
  w.Files->Delete(1);
  EXPECT_EQ(w.Files->CurrentIndex(), -1);
  EXPECT_EQ(w.Captions(), std::vector<std::string>{"one.wav"});
  EXPECT_EQ(w.Files->CheckedCount(), 1);
  inStep();
  w.Files->Clear();
  EXPECT_EQ(w.View->Items()->Count(), 0);
  EXPECT_EQ(w.Files->CheckedCount(), 0);
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
