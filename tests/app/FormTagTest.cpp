// The tag editor on a real list of tagged files, worked through its controls: edits
// reach the selected entry, "Apply for all tracks" every entry, Reset and Clear the
// selected entry or all; OK gives the edits to the conversion, Cancel keeps the tags;
// F1 opens the editor's own help page.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/UFormTag.h"
#include "tests/app/RunWindow.h"
#include "tests/support/Files.h"
#include "tests/support/ShellHook.h"
#include "tests/support/Tags.h"
#include "tests/support/Tools.h"
#include "widgets/KvButton.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvEdit.h"
#include "widgets/KvLabel.h"
#include "widgets/KvListVw.h"
#include "widgets/KvPanel.h"
#include "widgets/KvToolBtn.h"

using namespace testsupport;

namespace {

TTempDir* SourceDir = nullptr;
std::vector<std::string> SourceFiles;

// Name pattern 9: <Artist>\<Album>\<Track number>-<Title>.
constexpr TFileNamePattern ArtistAlbumTrackTitle = 9;

class FormTagTest : public testing::Test {
protected:
  static void SetUpTestSuite() {
    SourceDir = new TTempDir;
    const char* Tags[][2] = {{"one.mp3", "--ta Ann --tl First --tt Alpha --tn 1 --tg Rock --ty 2001"},
                             {"two.mp3", "--ta Bob --tl First --tt Beta --tn 2 --tg Jazz --ty 2002"},
                             {"three.mp3", "--ta Cy --tl Second --tt Gamma --tn 3 --tg Pop --ty 2003"}};
    for (const auto& T : Tags)
      SourceFiles.push_back(MakeMp3(*SourceDir, T[0], std::string("-b 96 --id3v2-only ") + T[1]));
  }
  static void TearDownTestSuite() {
    delete SourceDir;
    SourceDir = nullptr;
    SourceFiles.clear();
  }

  // The editor's OK makes the names again, as the main window has it do.
  void SetUp() override {
    ASSERT_TRUE(W.Files->AddFiles(SourceFiles));
    W.Out->SetFileNamePattern(ArtistAlbumTrackTitle);
    Frm->OnTagsChanged = [this](TComponent*) {
      ++TagsChanged;
      W.Files->MakeOutputName(W.Out->NamePattern());
    };
  }
  void TearDown() override { Frm->Free(); }

  // Opens the editor on the list and works it with Work while it is shown; the
  // dialog's result (Work ends it, or the script answers Cancel).
  TModalResult Edit(const std::function<void()>& Work) {
    TDialogScript Script;
    Script.Answer([&](const TDialogRequest&) {
      ShowActive(Frm);
      Work();
      return TDialogAnswer{mrCancel, {}, {}, 0};
    });
    return Frm->LoadFileList(W.Files.get());
  }

  template <class T = TControl>
  T* Find(const std::string& Name) const {
    auto* C = dynamic_cast<T*>(FindControl(Frm, Name));
    EXPECT_NE(C, nullptr) << Name;
    return C;
  }
  std::string Text(const std::string& Name) const { return Find(Name)->Text(); }
  bool Enabled(const std::string& Name) const { return Find(Name)->Enabled(); }
  void Click(const std::string& Name) {
    TControl* C = Find(Name);
    MouseClick(C, C->Width() / 2, C->Height() / 2);
  }
  void Select(int32_t Index) {
    const TRect R = Frm->LstFiles->Items()->Item(Index)->DisplayRect(drBounds);
    MouseClick(Frm->LstFiles, R.Left + 4, (R.Top + R.Bottom) / 2);
  }
  // Replaces the text of an editor by typing.
  void Retype(const std::string& Name, const std::string& Typed) {
    auto* C = Find<TWinControl>(Name);
    C->SetFocus();
    if (auto* E = dynamic_cast<TCustomEdit*>(C))
      E->SelectAll();
    else
      static_cast<TCustomComboBox*>(C)->SelectAll();
    TypeText(Typed);
  }
  TFileListEntry& Entry(int32_t N) const { return W.Files->Entries(N); }

  TTempDir Out;
  TRunWindow W{Out.Root()};
  TFrmTag* Frm = NewForm<TFrmTag>(nullptr);
  int TagsChanged = 0;
};

TEST_F(FormTagTest, EditsAndApplyForAllReachTheEntriesAndOkGivesThemToTheConversion) {
  W.Out->SetFormat(outFLAC);
  std::vector<TTagSet> Expected;
  for (int32_t I = 0; I < 3; ++I) Expected.push_back(Entry(I).FileTags);
  const std::string Artist = "Ærøskøbing Группа 楽団";
  EXPECT_EQ(Edit([&] {
              // The first entry shows at opening.
              EXPECT_EQ(Text("EdtArtist"), "Ann");
              EXPECT_EQ(Text("CmbGenre"), Expected[0].Genre);
              Select(1);
              Retype("EdtArtist", "  " + Artist + "  ");  // stored without the blanks
              Retype("EdtTtl", " Spaced title ");         // stored as typed
              Retype("EdtTrack", "0");
              EXPECT_EQ(Text("EdtTrack"), "0");  // no invented track number
              Retype("EdtTrack", "0a5./");       // digits only
              EXPECT_EQ(Text("EdtTrack"), "05");
              Retype("CmbGenre", "Synthwave");  // a genre of no list item
              Retype("EdtAlbum", "Collected");
              Click("BtnAlbum");
              // Showing another entry and coming back changes nothing.
              Select(2);
              EXPECT_EQ(Text("EdtAlbum"), "Collected");
              EXPECT_EQ(Text("EdtArtist"), "Cy");
              Select(1);
              EXPECT_EQ(Text("EdtArtist"), Artist);
              EXPECT_EQ(Text("CmbGenre"), "Synthwave");
              EXPECT_EQ(Entry(1).CurrentTags, Expected[1]);  // nothing committed yet
              Click("BtnOK");
            }),
            mrOk);
  Expected[1].Artist = Artist;
  Expected[1].Title = " Spaced title ";
  Expected[1].Track = "05";
  Expected[1].Genre = "Synthwave";
  for (TTagSet& T : Expected) T.Album = "Collected";
  for (int32_t I = 0; I < 3; ++I) EXPECT_EQ(Entry(I).CurrentTags, Expected[I]) << I;
  EXPECT_EQ(TagsChanged, 1);
  EXPECT_EQ(Entry(1).OutputDir, Artist + "/Collected/");
  EXPECT_EQ(Entry(1).OutputName, "05 - Spaced title");

  // The conversion writes the edited tags, as an independent reader finds them.
  ASSERT_TRUE(W.Convert());
  const std::vector<std::string> Outputs = {
      "Ann/Collected/1 - Alpha.flac", Artist + "/Collected/05 - Spaced title.flac", "Cy/Collected/3 - Gamma.flac"};
  ASSERT_EQ(FilesBelow(Out.Root()), (std::vector<std::string>{Outputs[0], Outputs[2], Outputs[1]}));
  EXPECT_EQ(MutagenCommonTags({Out / Outputs[1]})[0], (TTagItems{{"album", "Collected"},
                                                                 {"artist", Artist},
                                                                 {"genre", "Synthwave"},
                                                                 {"title", " Spaced title "},
                                                                 {"track", "05"},
                                                                 {"year", "2002"}}));
}

TEST_F(FormTagTest, CancelKeepsTheTagsAndEveryOpeningStartsAfresh) {
  const TTagSet Before = Entry(2).CurrentTags;
  EXPECT_EQ(Edit([&] {
              Select(2);
              Retype("EdtLang", "   ");
              EXPECT_FALSE(Enabled("BtnLang"));  // only text counts
              Retype("EdtArtist", "Zed");
              for (const char* Name : {"BtnArtist", "BtnGenre", "BtnResCurr", "GrpMusik"}) EXPECT_TRUE(Enabled(Name));
              // Without a selection nothing can be edited or reset.
              Frm->LstFiles->ClearSelection();
              EXPECT_EQ(Text("EdtArtist"), "");
              for (const char* Name : {"GrpMusik", "GrpDescr", "BtnResCurr", "BtnClrCurr"})
                EXPECT_FALSE(Enabled(Name));
              Select(2);
              EXPECT_EQ(Text("EdtArtist"), "Zed");
              KeyClick(Qt::Key_Escape);
            }),
            mrCancel);
  EXPECT_EQ(Entry(2).CurrentTags, Before);
  EXPECT_EQ(Entry(2).WorkingTags.Artist, "Zed");  // left until the next opening
  EXPECT_EQ(TagsChanged, 0);
  // Closed, it waits in its first state.
  for (const char* Name : {"BtnArtist", "BtnAlbum", "BtnYear", "BtnGenre", "BtnComm", "BtnLang", "BtnCopy", "BtnURL",
                           "BtnEnc", "BtnResCurr", "BtnClrCurr"})
    EXPECT_FALSE(Enabled(Name)) << Name;
  Edit([&] {
    Select(2);
    EXPECT_EQ(Text("EdtArtist"), Before.Artist);
  });
  EXPECT_EQ(Entry(2).WorkingTags, Before);
}

TEST_F(FormTagTest, F1OpensTheEditorsOwnHelpPageWhichNamesEveryFieldAndButton) {
  const std::string Page = HelpFolder() + "tag-editor.html";
  TShellRecorder Shell;
  Edit([&] { KeyClick(Qt::Key_F1); });
  EXPECT_EQ(Shell.Opened, std::vector<std::string>{Page});
  // The page installed beside the program describes what the dialog shows.
  const std::string Html = ReadFileAsString(Page);
  int Named = 0;
  for (int I = 0; I < Frm->ComponentCount(); ++I) {
    auto* C = dynamic_cast<TControl*>(Frm->Components(I));
    if (!dynamic_cast<TKvLabel*>(C) && !dynamic_cast<TKvGroupBox*>(C) && !dynamic_cast<TKvBitBtn*>(C) &&
        !dynamic_cast<TKvToolButton*>(C))
      continue;
    std::string Caption = C->Caption();
    if (!Caption.empty() && Caption.back() == ':') Caption.pop_back();
    EXPECT_NE(Html.find("<b>" + Caption + "</b>"), std::string::npos) << Caption;
    ++Named;
  }
  EXPECT_EQ(Named, 12 + 2 + 6 + 9);  // the fields' labels, the groups, the buttons, "Apply for all tracks"
}

TEST_F(FormTagTest, ResetAndClearActOnTheSelectedEntryOrOnAll) {
  // Tags confirmed earlier are not what the files hold.
  Edit([&] {
    Retype("EdtArtist", "Confirmed");
    Click("BtnArtist");
    Click("BtnOK");
  });
  ASSERT_EQ(Entry(2).CurrentTags.Artist, "Confirmed");
  const struct {
    const char* Button;
    bool All, Clear;
  } Cases[] = {{"BtnResCurr", false, false},
               {"BtnResAll", true, false},
               {"BtnClrCurr", false, true},
               {"BtnClrAll", true, true}};
  for (const auto& C : Cases) {
    Edit([&] {
      Select(1);
      Retype("EdtArtist", "Edited");
      Click("BtnArtist");
      Click(C.Button);
      for (int32_t I = 0; I < 3; ++I) {
        TTagSet Want = Entry(I).CurrentTags;
        Want.Artist = "Edited";
        if (C.All || I == 1) Want = C.Clear ? TTagSet() : Entry(I).FileTags;
        EXPECT_EQ(Entry(I).WorkingTags, Want) << C.Button << " " << I;
      }
      // The selected entry shows what it now holds.
      EXPECT_EQ(Text("EdtArtist"), Entry(1).WorkingTags.Artist) << C.Button;
      EXPECT_EQ(Text("EdtTtl"), Entry(1).WorkingTags.Title) << C.Button;
    });
  }
  // An entry cleared and confirmed has no tags; its name falls back to its file's.
  Edit([&] {
    Select(1);
    Click("BtnClrCurr");
    Click("BtnOK");
  });
  EXPECT_EQ(Entry(1).CurrentTags, TTagSet());
  EXPECT_EQ(Entry(1).OutputDir, "");
  EXPECT_EQ(Entry(1).OutputName, "two");
}

}  // namespace
