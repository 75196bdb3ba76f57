// The main window driven by its controls: the main road from the dialogs to checked
// output files and the sounds, the run state that nothing may disturb, aborting and
// closing during a run, what "Convert" checks first, drops, the tool menu, and painting
// in pieces that still makes up the window.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <filesystem>
#include <functional>

#include "app/ProgramInfo.h"
#include "app/UFormAbout.h"
#include "app/UFileList.h"
#include "app/UFormNewV.h"
#include "app/UFormTag.h"
#include "app/UOutput.h"
#include "audio/io/TSL_DXAudio.h"
#include "platform/rtl/FileUtils.h"
#include "tests/app/MainWindow.h"
#include "tests/app/RunWindow.h"
#include "tests/dragdrop/Drags.h"
#include "tests/support/AudioSources.h"
#include "tests/support/ShellHook.h"
#include "tests/support/Tools.h"
#include "widgets/KvBtnEdt.h"
#include "widgets/KvButton.h"
#include "widgets/KvListVw.h"
#include "widgets/KvPrgres.h"
#include "widgets/KvTabs.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class MainWindowTest : public testing::Test {
protected:
  // The PCM of a WAV file as ffmpeg decodes it, without the silence at its end.
  static std::vector<uint8_t> Heard(std::vector<uint8_t> Pcm) {
    while (!Pcm.empty() && Pcm.back() == 0) Pcm.pop_back();
    return Pcm;
  }
  TDialogAnswer Folder(const std::string& Path) { return TDialogAnswer{mrOk, {}, Path, 0}; }
  // A short and a long source, added through the open dialog, and FLAC into Out.
  void PrepareLongRun(TMainWindow& W) {
    W.AddFiles({MakeWave(In.Path("a.wav"), 44100, 2, 0.3), MakeWave(In.Path("b.wav"), 44100, 2, 30)});
    W.Choose("CmbFormat", outFLAC);
    W.Find<TKvButtonEdit>("EdtOutDir")->SetText(Out.Root());
  }

  TAppFolders Folders;
  TTempDir In, Out;
};

TEST_F(MainWindowTest, ConvertsWhatTheDialogsAddWithTheChosenSettingsAndSoundsAfterEachFile) {
  const std::string sources = In.Path("album");
  fs::create_directory(sources);
  MakeSourceFolder(sources, 1.0);
  TMainWindow w;
  w.AddFiles({MakeWav(In, "plain one.wav", 1.0), EncodeMp3(MakeWav(In, "two.wav", 1.0), In.Path("plain two.mp3"))});
  w.Find<TKvPageControl>("PageSource")->SetActivePageIndex(1);
  {
    TDialogScript script;
    script.Answer([&](const TDialogRequest&) { return Folder(sources); });
    script.Answer([&](const TDialogRequest&) { return Folder(Out.Root()); });
    w.ClickBrowse("EdtDir");
    w.Choose("CmbQual", 4);  // "Low": 96 kbit/s
    w.Choose("CmbCapt", 9);  // <Artist>\<Album>\<Track number>-<Title>
    w.ClickBrowse("EdtOutDir");
    ASSERT_EQ(script.Requests().size(), 2u);
    EXPECT_EQ(script.Requests()[0].Caption,
              "Select directory with audio files.\nAll supported files from selected folder will be added to the "
              "conversion list.");
    EXPECT_EQ(script.Requests()[0].Options, 0u);
    EXPECT_EQ(script.Requests()[1].Caption, "Select output directory.");
    EXPECT_EQ(script.Requests()[1].InitialDir, Folders.Music());
    EXPECT_EQ(script.Requests()[1].Options, uint32_t(sdNewFolder));
  }
  TFileList* list = w.Form->FileList();
  ASSERT_EQ(list->Count(), 13);
  EXPECT_EQ(w.Find("LblAllC")->Caption(), "13");
  EXPECT_EQ(w.Find("EdtDir")->Text(), sources);

  ASSERT_TRUE(w.ConvertAndWait());
  std::vector<std::string> expected, outputs;
  for (int32_t i = 0; i < list->Count(); ++i) {
    const TFileListEntry& e = list->Entries(i);
    expected.push_back(e.OutputDir + e.OutputName + ".mp3");
    outputs.push_back(Out.Path(expected.back()));
  }
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(FilesBelow(Out.Root()), expected);
  EXPECT_EQ(list->CheckedCount(), 0);
  EXPECT_EQ(w.Find("LblChkC")->Caption(), "0");
  const std::vector<TTagItems> tags = MutagenCommonTags(outputs);
  for (size_t i = 0; i < outputs.size(); ++i) {
    SCOPED_TRACE(outputs[i]);
    const TAudioFacts facts = ProbeAudio(outputs[i]);
    EXPECT_EQ(facts.Codec, "mp3");
    EXPECT_EQ(facts.Channels, ProbeAudio(list->Entries(static_cast<int32_t>(i)).FileName).Channels);
    EXPECT_NEAR(facts.BitRate, 96000, 1000);
    EXPECT_GT(facts.Frames, facts.Rate * 9 / 10);
    EXPECT_EQ(tags[i], CommonFields(list->Entries(static_cast<int32_t>(i)).CurrentTags));
  }

  // A sound after each file but the last, the other one after the run: the last to be
  // heard, whole.
  ASSERT_TRUE(ProcessEventsUntil([&] { return w.Form->AudioOut()->Status() == asIdle; }));
  EXPECT_EQ(Folders.Sound->StreamsOpened(), 13);
  const std::vector<uint8_t> notify = Heard(FfmpegDecode(ProgramDir() + "notify.wav"));
  const std::vector<uint8_t> played = Heard(Folders.Sound->Played());
  ASSERT_GT(notify.size(), 10000u);
  ASSERT_GE(played.size(), notify.size());
  EXPECT_TRUE(std::equal(notify.begin(), notify.end(), played.end() - static_cast<std::ptrdiff_t>(notify.size())));
}

TEST_F(MainWindowTest, NothingCanChangeTheListDuringARunAndAbortDeletesOnlyTheUnfinishedFile) {
  TMainWindow w;
  PrepareLongRun(w);
  w.Click("BtnConv");
  ASSERT_TRUE(w.PauseAt(2));
  ASSERT_EQ(RunTemporaries(Out.Path("b.flac")).size(), 1u);
  EXPECT_EQ(w.Find("BtnPause")->Caption(), "Resume");

  const char* const locked[] = {"BtnConv", "BtnCheck", "BtnUncheck", "BtnDel", "BtnClr", "SpnMove", "GrpSource",
                                "GrpOut", "BtnPPlay", "BtnPNext"};
  for (const char* name : locked) EXPECT_FALSE(w.Enabled(name)) << name;
  for (const char* name : {"BtnPause", "BtnAbort", "LblElap", "LblInfo"}) EXPECT_TRUE(w.Enabled(name)) << name;
  // The user tries anyway: a tick, Delete, a drop.
  auto* view = w.Find<TKvListView>("LstConv");
  const TRect box = view->Items()->Item(1)->DisplayRect(drIcon);
  MouseClick(view, (box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2);
  EXPECT_TRUE(view->Items()->Item(1)->Checked());
  w.Click("BtnDel");
  dragtest::TForeignDrag drag(view, dragtest::UriList({dragtest::FileUri(MakeWave(In.Path("c.wav"), 44100, 2, 0.2))}));
  EXPECT_FALSE(drag.Enter().Accepted);
  drag.Drop({5, 5});
  EXPECT_EQ(w.Form->FileList()->Count(), 2);

  w.Click("BtnAbort");
  EXPECT_FALSE(w.Form->Output()->Running());
  EXPECT_EQ(FilesBelow(Out.Root()), std::vector<std::string>{"a.flac"});
  Shell("flac -t -s " + Quote(Out.Path("a.flac")));
  for (const char* name : {"BtnConv", "BtnDel", "GrpSource", "GrpOut", "BtnPPlay"}) EXPECT_TRUE(w.Enabled(name)) << name;
  for (const char* name : {"BtnPause", "BtnAbort", "LblElap"}) EXPECT_FALSE(w.Enabled(name)) << name;
  EXPECT_EQ(w.Find("BtnPause")->Caption(), "Pause");
  // Unlocked: the second entry is still ticked and a drop adds.
  EXPECT_TRUE(drag.Enter().Accepted);
  drag.Drop({5, 5});
  EXPECT_EQ(w.Form->FileList()->Count(), 3);
}

TEST_F(MainWindowTest, ClosingDuringARunDeletesTheUnfinishedFileAndStillSavesTheSettings) {
  TMainWindow w;
  PrepareLongRun(w);
  w.Click("BtnConv");
  ASSERT_TRUE(w.PauseAt(2));
  ASSERT_FALSE(fs::exists(Folders.SettingsFile()));
  w.Close();
  EXPECT_EQ(FilesBelow(Out.Root()), std::vector<std::string>{"a.flac"});
  const std::string settings = ReadFileAsString(Folders.SettingsFile());
  EXPECT_NE(settings.find("Format=7"), std::string::npos) << settings;
  EXPECT_NE(settings.find("OutputDir=" + Out.Root()), std::string::npos) << settings;
}

TEST_F(MainWindowTest, ConvertRefusesAnOutputFolderThatCannotBeUsed) {
  TMainWindow w;
  w.AddFiles({MakeWave(In.Path("a.wav"), 44100, 2, 0.2)});
  WriteFile(In.Path("file"), std::string("x"));
  const std::string start = "Incorrect output directory settings. The folder \"";
  const std::string settings = "Settings error";
  const struct {
    std::string Dir;
    std::string Message;
    std::string Caption;
    bool Ticked;
  } cases[] = {{"  ", "Please select an output directory", settings, true},
               {"Music", start + "Music\" is not a full path.", settings, true},
               // Another user's home folder is not looked up.
               {"~nobody/Music", start + "~nobody/Music\" is not a full path.", settings, true},
               {"C:\\Music", start + "C:\\Music\" is not a full path.", settings, true},
               {In.Path("file/sub"), start + In.Path("file/sub") + "\" cannot be created.", settings, true},
               {"/proc", start + "/proc\" cannot be written to.", settings, true},
               {Out.Root(), "Only checked list items can be converted. Please check any file in the list above",
                "Nothing is checked for conversion", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Dir);
    w.Find<TKvButtonEdit>("EdtOutDir")->SetText(c.Dir);
    w.Form->FileList()->SetChecked(0, c.Ticked);
    TDialogScript script;
    // While the window says why it does not convert, it shows no run.
    script.Answer([&](const TDialogRequest&) {
      EXPECT_TRUE(w.Enabled("BtnConv"));
      EXPECT_FALSE(w.Enabled("BtnAbort"));
      EXPECT_TRUE(w.Enabled("GrpSource"));
      return TDialogAnswer{IDOK, {}, {}, 0};
    });
    w.Click("BtnConv");
    ASSERT_EQ(script.Requests().size(), 1u);
    EXPECT_EQ(script.Requests()[0].Text, c.Message);
    EXPECT_EQ(script.Requests()[0].Caption, c.Caption);
    EXPECT_EQ(script.Requests()[0].Icon(), uint32_t(MB_ICONWARNING));
    EXPECT_TRUE(w.Enabled("BtnConv"));
    EXPECT_FALSE(w.Form->Output()->Running());
  }
  EXPECT_TRUE(FilesBelow(Out.Root()).empty());
}

// "~" typed for a folder, or in a path the folder dialog gives back, is the home folder.
TEST_F(MainWindowTest, FoldersFromTheHomeFolderAreTakenAsTheUserMeansThem) {
  TMainWindow w;
  const std::string home = Folders.Home();
  fs::create_directories(home + "/Music");
  fs::create_directories(home + "/More");
  MakeWave(home + "/Music/a.wav", 44100, 2, 0.2);
  MakeWave(home + "/b.wav", 44100, 2, 0.2);
  MakeWave(home + "/More/c.wav", 44100, 2, 0.2);
  auto* dir = w.Find<TKvButtonEdit>("EdtDir");
  w.Find<TKvPageControl>("PageSource")->SetActivePageIndex(1);
  for (const char* typed : {"~/Music", "~"}) {
    dir->SetText(typed);
    dir->SetFocus();
    KeyClick(Qt::Key_Return);
  }
  {
    TDialogScript script;
    script.Answer([&](const TDialogRequest& R) {
      EXPECT_EQ(R.InitialDir, home);
      return Folder("~/More");
    });
    w.ClickBrowse("EdtDir");
  }
  EXPECT_EQ(dir->Text(), home + "/More");
  TFileList* list = w.Form->FileList();
  ASSERT_EQ(list->Count(), 3);
  EXPECT_EQ(list->Entries(0).FileName, home + "/Music/a.wav");
  EXPECT_EQ(list->Entries(1).FileName, home + "/b.wav");
  EXPECT_EQ(list->Entries(2).FileName, home + "/More/c.wav");

  w.Choose("CmbFormat", outWave);
  w.Find<TKvButtonEdit>("EdtOutDir")->SetText("~/out");
  ASSERT_TRUE(w.ConvertAndWait());
  EXPECT_EQ(FilesBelow(home + "/out"), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));
  w.Find<TKvButtonEdit>("EdtOutDir")->SetText("~");
  EXPECT_EQ(w.Form->Output()->OutputDir(), home);
}

// A FIFO that no one writes would keep the window waiting for good if it were opened
// (ctest's time-out ends such a run). One add gives one message, which names each file
// left out once, with its reason.
TEST_F(MainWindowTest, AddingTellsWhatCouldNotBeAdded) {
  TMainWindow w;
  const std::string good = MakeWave(In.Path("good.wav"), 44100, 2, 0.2);
  WriteFile(In.Path("bad.ogg"), std::string(4096, 'x'));
  // A RIFF WAVE file without a format chunk: no WAV kind can be read from it.
  WriteFile(In.Path("bad.wav"), std::string("RIFF\x04\x10\0\0WAVE", 12) + std::string(4096, 'x'));
  ASSERT_EQ(mkfifo(In.Path("fifo.wav").c_str(), 0600), 0);
  fs::create_directory(In.Path("album.mp3"));
  for (const char* name : {"README", "..wav", "noextension", "x.wav.", "a.xyz", "c.abc", "d.xyz"})
    WriteFile(In.Path(name), std::string("x"));
  fs::create_directory(In.Path("empty"));
  fs::create_directory(In.Path("album"));
  MakeWave(In.Path("album/song.wav"), 44100, 2, 0.2);
  WriteFile(In.Path("album/cover.jpg"), std::string("x"));
  WriteFile(In.Path("album/notes.txt"), std::string("x"));
  // More files that cannot be read than a screen shows, before one that can.
  const std::string many = In.Path("many");
  fs::create_directory(many);
  for (int i = 1; i <= 80; ++i) WriteFile(many + "/bad" + (i < 10 ? "0" : "") + std::to_string(i) + ".ogg", "x");
  MakeWave(many + "/good.wav", 44100, 2, 0.2);
  const auto enterFolder = [&w](const std::string& Folder) {
    w.Find<TKvPageControl>("PageSource")->SetActivePageIndex(1);
    w.Find<TKvButtonEdit>("EdtDir")->SetText(Folder);
    w.Find<TKvButtonEdit>("EdtDir")->SetFocus();
    KeyClick(Qt::Key_Return);
  };
  const std::string error = FileReadErrorText, invalid = ": not a valid audio file";
  const struct {
    std::function<void()> Add;
    std::string Caption, Text;
    uint32_t Icon = MB_ICONWARNING;
  } cases[] = {
      {[&] { w.AddFiles({In.Path("bad.ogg")}); }, "Error", error + " Files were not added.\nbad.ogg" + invalid},
      {[&] { w.AddFiles({In.Path("bad.ogg"), good}); }, "Error", error + " Not all files were added.\nbad.ogg" + invalid},
      {[&] { w.AddFiles({In.Path("bad.wav")}); }, "Error", error + " Files were not added.\nbad.wav" + invalid},
      {[&] { w.AddFiles({In.Path("fifo.wav"), In.Path("album.mp3")}); }, "Error",
       error + " Files were not added.\nfifo.wav: not a regular file\nalbum.mp3: a folder"},
      {[&] { w.AddFiles({In.Path("fifo.wav"), In.Path("noextension"), In.Path("x.wav.")}); }, "Error",
       error + " Files were not added.\nfifo.wav: not a regular file\nnoextension: no extension\nx.wav.: no extension"},
      {[&] { w.AddFiles({In.Path("README"), In.Path("..wav"), In.Path("a.xyz")}); }, "Error",
       error + " Files were not added.\nREADME: no extension\n..wav: no extension\na.xyz: unknown extension"},
      // Unknown extensions alone: the list's own message, each extension once.
      {[&] { w.AddFiles({In.Path("a.xyz"), In.Path("c.abc"), In.Path("d.xyz")}); }, "Not supported file",
       "Not supported file extension is detected.\nFiles with extensions .xyz .abc have not been added.", MB_ICONERROR},
      {[&] { enterFolder(In.Path("album")); }, "Not supported file",
       "Not supported file extension is detected.\nFiles with extensions .jpg .txt have not been added."},
      {[&] { enterFolder(In.Path("empty")); }, "No result", "Selected directory don't contain any supported audio file.",
       MB_ICONINFORMATION},
  };
  for (const auto& c : cases) {
    TDialogScript script;
    script.Answer(IDOK);
    c.Add();
    ASSERT_EQ(script.Requests().size(), 1u) << c.Text;
    const TDialogRequest& r = script.Requests().back();
    EXPECT_EQ(r.Caption, c.Caption);
    EXPECT_EQ(r.Text, c.Text);
    EXPECT_EQ(r.Icon(), c.Icon) << c.Text;
  }
  {
    // As many names as the box shows whole on the screen, then how many more.
    TMessageBoxWatch boxes;
    enterFolder(many);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    const TMessageBoxWatch::TShown& box = boxes.Shown()[0];
    const std::vector<std::string> lines = Lines(box.Text);
    ASSERT_GE(lines.size(), 4u) << box.Text;
    EXPECT_EQ(lines[0], error + " Not all files were added.");
    EXPECT_EQ(lines[1], "bad01.ogg" + invalid);
    EXPECT_EQ(lines.back(), "and " + std::to_string(80 - (lines.size() - 2)) + " more");
    EXPECT_TRUE(box.OnScreen);
    // Not a name fewer than fits, but for the room kept for a window frame (40 pixels).
    EXPECT_LT(box.AreaHeight - box.FrameHeight, 40 + 3 * box.LineHeight);
  }
  EXPECT_EQ(w.Form->FileList()->Count(), 3);
  EXPECT_EQ(w.Find("LblAllC")->Caption(), "3");
  // The ticks counted as they were added, and as the user changes them.
  EXPECT_EQ(w.Find("LblChkC")->Caption(), "3");
  auto* view = w.Find<TKvListView>("LstConv");
  const TRect box = view->Items()->Item(0)->DisplayRect(drIcon);
  MouseClick(view, (box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2);
  EXPECT_EQ(w.Find("LblChkC")->Caption(), "2");
  EXPECT_FALSE(w.Form->FileList()->Entries(0).Checked);
  w.Click("BtnUncheck");
  w.Click("BtnCheck");
  EXPECT_EQ(w.Find("LblChkC")->Caption(), "3");
  EXPECT_EQ(w.Form->FileList()->CheckedCount(), 3);
}

TEST_F(MainWindowTest, DropsAddFilesButNotCdTracksAndReportUnreadableOnes) {
  TMainWindow w;
  auto* view = w.Find<TKvListView>("LstConv");
  const std::string a = MakeWave(In.Path("a.wav"), 44100, 2, 0.2);
  WriteFile(In.Path("Track01.cda"), std::string(44, '\0'));
  WriteFile(In.Path("bad.ogg"), std::string(4096, 'x'));
  // A pipe that nothing writes to would block whoever opened it to read.
  ASSERT_EQ(mkfifo(In.Path("fifo.wav").c_str(), 0600), 0);
  const auto drag = [&](std::vector<std::string> Files) {
    for (std::string& f : Files) f = dragtest::FileUri(In.Path(f));
    return dragtest::TForeignDrag(view, dragtest::UriList(Files));
  };
  auto cd = drag({"Track01.cda", "a.wav"});
  EXPECT_FALSE(cd.Enter().Accepted);
  cd.Leave();
  auto files = drag({"a.wav", "bad.ogg", "fifo.wav"});
  EXPECT_TRUE(files.Enter().Accepted);
  TDialogScript script;
  script.Answer(IDOK);
  EXPECT_EQ(files.Drop({5, 5}).Action, Qt::CopyAction);
  ASSERT_EQ(script.Requests().size(), 1u);
  EXPECT_EQ(script.Requests()[0].Text,
            std::string(FileReadErrorText) + "\nbad.ogg: not a valid audio file\nfifo.wav: not a regular file");
  EXPECT_EQ(script.Requests()[0].Icon(), uint32_t(MB_ICONERROR));
  EXPECT_EQ(w.Form->FileList()->Count(), 1);
  EXPECT_TRUE(w.Enabled("BtnConv"));
}

TEST_F(MainWindowTest, TheButtonsOpenTheHelpTheHomePageAndTheirDialogs) {
  TMainWindow w;
  w.AddFiles({MakeWave(In.Path("a.wav"), 44100, 2, 0.2)});
  {
    TShellRecorder shell;
    w.Click("BtnMHelp");
    KeyClick(Qt::Key_F1);
    w.Click("BtnMHome");
    EXPECT_EQ(shell.Opened, (std::vector<std::string>{HelpContentsPage(), HelpContentsPage(), HomePageURL}));
  }
  {
    // A desktop without a web browser: xdg-open starts, finds nothing to open the page
    // with and ends with status 3. The window says so once it has.
    std::filesystem::create_directories(In.Path("bin"));
    WriteFile(In.Path("bin/xdg-open"), std::string("#!/bin/sh\nexit 3\n"));
    std::filesystem::permissions(In.Path("bin/xdg-open"), std::filesystem::perms::owner_all);
    const std::string path = getenv("PATH");
    setenv("PATH", In.Path("bin").c_str(), 1);
    TDialogScript script;
    script.Answer(IDOK);
    w.Click("BtnMHome");
    setenv("PATH", path.c_str(), 1);
    ASSERT_TRUE(ProcessEventsUntil([&] { return script.Finished(); }));
    EXPECT_EQ(script.Requests()[0].Caption, "Error");
    EXPECT_EQ(script.Requests()[0].Text, "\"" + std::string(HomePageURL) +
                                             "\" could not be opened: the desktop has no program that opens it, or "
                                             "that program failed (xdg-open ended with exit status 3).");
  }
  // The tag editor works on the list shown; its OK makes the output names again.
  w.Choose("CmbCapt", 5);  // <Artist>\<Title>
  FormNewV = NewForm<TFormNewV>(Application);
  FormNewV->SetVersionFileUrl("http://127.0.0.1:9/version");
  TDialogScript script;
  script.Answer([](const TDialogRequest& R) {
    EXPECT_EQ(R.Form, FrmTag);
    FindControl(R.Form, "EdtArtist")->SetText("New Artist");
    return TDialogAnswer{mrOk, {}, {}, 0};
  });
  script.Answer(mrOk);
  script.Answer(mrCancel);
  w.Click("BtnTag");
  w.Click("BtnMAbout");
  w.Click("BtnMNew");
  ASSERT_EQ(script.Requests().size(), 3u);
  EXPECT_EQ(script.Requests()[1].Form->Caption(), "About");
  EXPECT_EQ(script.Requests()[2].Form, FormNewV);
  const TFileListEntry& e = w.Form->FileList()->Entries(0);
  EXPECT_EQ(e.CurrentTags.Artist, "New Artist");
  EXPECT_EQ(e.OutputDir, "New Artist/");
  FormNewV->Free();
  FormNewV = nullptr;
}

TEST_F(MainWindowTest, TheAboutBoxClosesWithEnterAndWithEscape) {
  for (Qt::Key Key : {Qt::Key_Return, Qt::Key_Escape}) {
    TFrmAbout* About = NewForm<TFrmAbout>(nullptr);
    ShowActive(About);
    KeyClick(Key);
    EXPECT_EQ(About->ModalResult(), mrOk) << Key;
    About->Free();
  }
}

}  // namespace

TEST_F(MainWindowTest, EveryControlThatSaysItIsOpaquePaintsAllOfItself) {
  // What lies under an opaque control is not painted: a pixel it leaves would show
  // whatever the window held there before.
  TMainWindow W;
  std::function<void(TControl*)> Check = [&](TControl* C) {
    if (C->Showing() && (C->ControlStyle() & csOpaque) && C->Width() > 0 && C->Height() > 0) {
      QImage I(C->Width(), C->Height(), QImage::Format_ARGB32_Premultiplied);
      I.fill(Qt::transparent);
      C->PaintTo(I, 0, 0);
      int32_t Holes = 0;
      for (int Y = 0; Y < I.height(); ++Y)
        for (int X = 0; X < I.width(); ++X) Holes += qAlpha(I.pixel(X, Y)) != 255;
      EXPECT_EQ(Holes, 0) << C->Name();
    }
    if (auto* P = dynamic_cast<TWinControl*>(C))
      for (int32_t I = 0; I < P->ControlCount(); ++I) Check(P->Controls(I));
  };
  Check(W.Form);
}

TEST_F(MainWindowTest, AfterRepaintsOfSomeControlsTheScreenShowsWhatAWholePaintShows) {
  // Controls repaint alone and transparent ones paint only what they cover: the pieces
  // must still make up the window.
  TMainWindow W;
  Application->ProcessMessages();
  auto* Bar = W.Find<TKvProgressBar>("PrgCurrent");
  for (uint16_t P = 0; P <= 100; P += 7) {
    Bar->SetPercent(P);
    Application->ProcessMessages();
  }
  W.Find("LblElapT")->SetCaption("0:12:34");
  W.Find("LblInfo")->SetCaption("Encoding - \"x\"");
  W.Find("GrpOut")->SetEnabled(false);
  Application->ProcessMessages();
  W.Find("GrpOut")->SetEnabled(true);
  Application->ProcessMessages();
  const QImage Screen = QGuiApplication::primaryScreen()->grabWindow(W.Form->Host()->winId()).toImage();
  QImage Whole(W.Form->Width(), W.Form->Height(), QImage::Format_RGB32);
  Whole.fill(Qt::black);
  W.Form->PaintTo(Whole, 0, 0);
  EXPECT_TRUE(Screen.convertToFormat(QImage::Format_RGB32) == Whole);
}
