// The program's start-up and shutdown, and its hint window.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/UFormAbout.h"
#include "app/UFormNewV.h"
#include "app/UFormTag.h"
#include "app/UHintWnd.h"
#include "app/UOutput.h"
#include "platform/shell/Shell.h"
#include "tests/app/MainWindow.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

TEST(StartupTest, TheWindowsComeInOrderTheSettingsAreReadOnceShownAndSavedOnClosing) {
  TAppFolders folders;
  fs::create_directories(fs::path(folders.SettingsFile()).parent_path());
  WriteFile(folders.SettingsFile(), std::string("[Source]\nTab=2\n[Output]\nFormat=7\n"));
  const int32_t before = Screen->FormCount();
  const bool first = Application->MainForm() == nullptr;
  StartProgram();
  ASSERT_EQ(Screen->FormCount(), before + 4);
  EXPECT_EQ(Screen->Forms(before), FrmMain);
  EXPECT_EQ(Screen->Forms(before + 1), FrmTag);
  EXPECT_EQ(Screen->Forms(before + 2), FrmAbout);
  EXPECT_EQ(Screen->Forms(before + 3), FormNewV);
  if (first) {
    EXPECT_EQ(Application->MainForm(), FrmMain);
  }
  EXPECT_EQ(Application->Title(), "Lumo Audio Converter");
  THintWindow* hint = Application->HintWindowClass()(nullptr);
  EXPECT_NE(dynamic_cast<THintWnd*>(hint), nullptr);
  hint->Free();
  EXPECT_EQ(Application->HelpFile(), HelpFolder() + "index.html");

  // Made: the music folder is the output folder; the file is not read before the
  // window shows, then once (a window shown again, as after minimising, keeps what it has).
  TFrmMain* main = FrmMain;
  EXPECT_EQ(FindControl(main, "EdtOutDir")->Text(), folders.Music());
  EXPECT_EQ(main->Output()->Format(), outMP3);
  ShowActive(main);
  EXPECT_EQ(main->Output()->Format(), outFLAC);
  // Activated: the page's list is the one shown.
  EXPECT_TRUE(FindControl(main, "LstConv")->Visible());
  EXPECT_FALSE(FindControl(main, "LstRip")->Visible());
  WriteFile(folders.SettingsFile(), std::string("[Output]\nFormat=3\n"));
  main->Hide();
  ShowActive(main);
  EXPECT_EQ(main->Output()->Format(), outFLAC);

  // Closing saves (the main window's close also ends the program: its handler is run
  // here, so that the application lives on for the other tests).
  TCloseAction action = caHide;
  main->OnClose(main, action);
  EXPECT_NE(ReadFileAsString(folders.SettingsFile()).find("Format=7"), std::string::npos);
  main->Free();
  EXPECT_EQ(FrmMain, nullptr);
  FrmTag->Free();
  FrmTag = nullptr;
  FrmAbout->Free();
  FrmAbout = nullptr;
  FormNewV->Free();
  FormNewV = nullptr;
}

// Whatever the settings hold, the window comes up as its list makes it, before any
// activation (a window manager may not give it the focus): an empty list offers
// nothing to convert, tick, delete or play.
TEST(StartupTest, AnEmptyListDisablesWhatNeedsEntriesFromTheFirstShow) {
  const struct {
    const char* Case;
    const char* Settings;  // nullptr: no file
  } cases[] = {{"no file", nullptr},
               {"no source folder", "[Source]\nTab=1\nDir=\n"},
               {"a missing source folder", "[Source]\nTab=1\nDir=/nonexistent/sonvix\n"},
               {"the CD page", "[Source]\nTab=0\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    TAppFolders folders;
    if (c.Settings) {
      fs::create_directories(fs::path(folders.SettingsFile()).parent_path());
      WriteFile(folders.SettingsFile(), std::string(c.Settings));
    }
    TFrmMain* main = NewForm<TFrmMain>(nullptr);
    main->Show();
    for (const char* name : {"BtnConv", "BtnCheck", "BtnUncheck", "BtnDel", "BtnClr", "SpnMove", "ChkUnc", "GrpOut",
                             "BtnPPlay", "BtnPPause", "BtnPStop", "BtnPPrew", "BtnPNext", "BtnPause", "BtnAbort"})
      EXPECT_FALSE(FindControl(main, name)->Enabled()) << name;
    for (const char* name : {"GrpSource", "BtnAdd"}) EXPECT_TRUE(FindControl(main, name)->Enabled()) << name;
    main->Free();
  }
}

TEST(HintWindowTest, IsASpaceWiderAndTwoTallerThanTheStandardHintWithNavyTextInARoundedMaroonFrame) {
  auto* standard = new THintWindow(nullptr);
  auto* ours = new THintWnd(nullptr);
  const std::string text = "Full path to folder\nwith audio files";
  const TRect r = standard->CalcHintRect(300, text, nullptr);
  for (THintWindow* h : {standard, static_cast<THintWindow*>(ours)}) h->ActivateHint(Bounds(40, 40, r.Width(), r.Height()), text);
  TCanvas measure;
  measure.SetFont(ours->Font());
  const int32_t w = ours->Width(), h = ours->Height();
  EXPECT_EQ(w, standard->Width() + measure.TextWidth(" "));
  EXPECT_EQ(h, standard->Height() + measure.TextWidth("  "));

  // The outline ends where the frame does, four pixels above the window's bottom.
  const TRegion* outline = ours->Region();
  ASSERT_NE(outline, nullptr);
  EXPECT_EQ(outline->BoundsRect(), Rect(0, 0, w, h - 4));
  for (const TPoint p : {TPoint{0, 0}, TPoint{1, 0}, TPoint{0, 1}, TPoint{w - 1, 0}, TPoint{0, h - 5}})
    EXPECT_FALSE(outline->Contains(p.X, p.Y)) << p.X << "," << p.Y;
  for (const TPoint p : {TPoint{2, 0}, TPoint{1, 1}, TPoint{0, 2}, TPoint{w / 2, h - 5}})
    EXPECT_TRUE(outline->Contains(p.X, p.Y)) << p.X << "," << p.Y;

  const QImage image = Render(ours);
  EXPECT_EQ(PixelAt(image, w / 2, 0), TColor(clMaroon));
  EXPECT_EQ(PixelAt(image, 0, h / 2), TColor(clMaroon));
  EXPECT_EQ(PixelAt(image, w / 2, h - 6), TColor(clMaroon));
  EXPECT_EQ(CountColor(image, clWindowFrame), 0);
  const TRect textBox = ColorBounds(image, clNavy);
  EXPECT_GT(textBox.Width(), 0);
  EXPECT_NEAR(textBox.Left - 1, w - 1 - textBox.Right, 2);
  EXPECT_GT(textBox.Top, 2);
  EXPECT_LT(textBox.Bottom, h - 6);
  standard->Free();
  ours->Free();
}

}  // namespace
