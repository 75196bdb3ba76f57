// The settings file: a round trip through closing and starting again, damaged and
// foreign files that load as defaults, a save that fails, and where the file is kept.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <filesystem>
#include <functional>
#include <map>

#include "app/UFileList.h"
#include "app/UOutput.h"
#include "tests/app/MainWindow.h"
#include "tests/support/AudioSources.h"
#include "widgets/KvBtnEdt.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvRadChk.h"
#include "widgets/KvTabs.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class SettingsTest : public testing::Test {
protected:
  int32_t Page(TMainWindow& W) { return W.Find<TKvPageControl>("PageSource")->ActivePageIndex(); }
  int32_t Index(TMainWindow& W, const char* Combo) { return W.Find<TKvComboBox>(Combo)->ItemIndex(); }
  bool Checked(TMainWindow& W, const char* Box) { return W.Find<TKvCheckBox>(Box)->Checked(); }

  TAppFolders Folders;
  TTempDir In;
};

TEST_F(SettingsTest, EverythingComesBackAfterClosingAndStartingAgain) {
  MakeWave(In.Path("a.wav"), 44100, 2, 0.2);
  std::array<TFormatSettings, OutputFormatCount> settings;
  std::array<TQualityPreset, OutputFormatCount> presets;
  {
    TMainWindow w;
    w.Find<TKvButtonEdit>("EdtDir")->SetText(In.Root());
    w.Find<TKvButtonEdit>("EdtDir")->SetFocus();
    KeyClick(Qt::Key_Return);
    ASSERT_EQ(w.Form->FileList()->Count(), 1);
    w.Find<TKvPageControl>("PageSource")->SetActivePageIndex(2);
    w.Click("ChkUnc");
    // Every field at the last value its list offers, custom presets but one.
    TOutput* out = w.Form->Output();
    for (int32_t f = 0; f < OutputFormatCount; ++f) {
      const auto format = static_cast<TOutputFormat>(f);
      const TFormatSettings& n = SettingCounts(format);
      out->Settings(format) = {uint8_t(n.Stereo - 1),  uint8_t(n.Lossless - 1),   uint8_t(n.VarBitrate - 1),
                               uint8_t(n.BitRate - 1), uint8_t(n.Samplerate - 1), uint8_t(n.Samplesize - 1),
                               uint8_t(n.Qual - 1)};
      out->Presets(format) = qpCustom;
    }
    out->Settings(outWMASystem) = {0, 0, 0, 2, 0, 0, 1};
    ApplyPreset(outOggVorbis, 3, out->Settings(outOggVorbis));
    out->Presets(outOggVorbis) = 3;
    w.Choose("CmbFormat", outMusepack);
    w.Choose("CmbCapt", 13);
    w.Click("ChkNorm");
    w.Choose("CmbPrior", 2);
    w.Find<TKvButtonEdit>("EdtOutDir")->SetText(In.Path("out"));
    w.Form->SetBounds(40, 50, w.Form->Width(), w.Form->Height());
    for (int32_t f = 0; f < OutputFormatCount; ++f) {
      settings[f] = out->Settings(static_cast<TOutputFormat>(f));
      presets[f] = out->Presets(static_cast<TOutputFormat>(f));
    }
    w.Close();
  }
  TMainWindow w;
  TOutput* out = w.Form->Output();
  for (int32_t f = 0; f < OutputFormatCount; ++f) {
    SCOPED_TRACE(f);
    EXPECT_EQ(out->Settings(static_cast<TOutputFormat>(f)), settings[f]);
    EXPECT_EQ(out->Presets(static_cast<TOutputFormat>(f)), presets[f]);
  }
  EXPECT_EQ(w.Form->Left(), 40);
  EXPECT_EQ(w.Form->Top(), 50);
  EXPECT_EQ(Page(w), 2);
  EXPECT_EQ(w.Find("EdtDir")->Text(), In.Root());
  EXPECT_EQ(w.Form->FileList()->Count(), 1);
  EXPECT_FALSE(Checked(w, "ChkUnc"));
  EXPECT_FALSE(out->AutoUncheck());
  EXPECT_EQ(Index(w, "CmbFormat"), outMusepack);
  EXPECT_EQ(out->Format(), outMusepack);
  EXPECT_TRUE(w.Find("PnlMPC")->Visible());
  EXPECT_EQ(Index(w, "CmbMPCSR"), settings[outMusepack].Samplerate);
  EXPECT_EQ(Index(w, "CmbCapt"), 13);
  EXPECT_EQ(out->NamePattern(), 13);
  EXPECT_FALSE(Checked(w, "ChkNorm"));
  EXPECT_FALSE(out->Normalize());
  EXPECT_EQ(Index(w, "CmbPrior"), 2);
  EXPECT_EQ(out->Prior(), 2);
  EXPECT_EQ(out->OutputDir(), In.Path("out"));
  EXPECT_EQ(Index(w, "CmbWMA2Cod"), 1);
  EXPECT_EQ(Index(w, "CmbWMA2Form"), 2);
}

struct TDamagedCase {
  const char* Name;
  std::string Content;
  std::function<void(TMainWindow&, const TAppFolders&)> Check;
};

void PrintTo(const TDamagedCase& C, std::ostream* Os) { *Os << C.Name; }

// Every format's settings as the window makes them and the preset of a file without
// its Quality key, "Medium", but for Overrides.
void ExpectDefaultsBut(TOutput* Out, std::map<TOutputFormat, std::pair<TFormatSettings, TQualityPreset>> Overrides) {
  for (int32_t f = 0; f < OutputFormatCount; ++f) {
    const auto format = static_cast<TOutputFormat>(f);
    auto expected = std::make_pair(DefaultSettings(format), TQualityPreset{2});
    if (Overrides.count(format)) expected = Overrides[format];
    EXPECT_EQ(Out->Settings(format), expected.first) << f;
    EXPECT_EQ(Out->Presets(format), expected.second) << f;
  }
}

const TDamagedCase DamagedCases[] = {
    {"NotAnIniFile", std::string("\x00\x01[Output]\nFormat=7\xff", 20),
     [](TMainWindow& W, const TAppFolders& F) {
       // Nothing is read: the window stays as it was made.
       ExpectDefaultsBut(W.Form->Output(), {{outMusepack, {DefaultSettings(outMusepack), DefaultPreset(outMusepack)}}});
       EXPECT_EQ(W.Find<TKvPageControl>("PageSource")->ActivePageIndex(), 1);
       EXPECT_EQ(W.Find("EdtOutDir")->Text(), F.Music());
     }},
    {"ValuesOutsideTheirLists",
     "[Source]\nTab=7\n[Output]\nFormat=12\nFileName=14\nPrior=5\nBitRate0=99\nStereo4=3\nQual2=50\nQuality3=9\n"
     "Samplerate9=-3\nVarBitrate1=banana\nLossless1=1\nVarBitrate2=1\n",
     [](TMainWindow& W, const TAppFolders&) {
       // Missing or bad values take their key's default.
       ExpectDefaultsBut(W.Form->Output(), {});
       EXPECT_EQ(W.Find<TKvPageControl>("PageSource")->ActivePageIndex(), 0);
       EXPECT_EQ(W.Find<TKvComboBox>("CmbFormat")->ItemIndex(), 0);
       EXPECT_EQ(W.Find<TKvComboBox>("CmbCapt")->ItemIndex(), 0);
       EXPECT_EQ(W.Find<TKvComboBox>("CmbPrior")->ItemIndex(), 1);
     }},
    {"WindowsPaths", "[Source]\nDir=C:\\Music\\Rock\n[Output]\nOutputDir=C:\\Music\n",
     [](TMainWindow& W, const TAppFolders& F) {
       EXPECT_EQ(W.Find("EdtDir")->Text(), "");
       EXPECT_EQ(W.Find("EdtOutDir")->Text(), F.Music());
       EXPECT_EQ(W.Form->Output()->OutputDir(), F.Music());
     }},
    {"FoldersFromTheHomeFolder", "[Source]\nDir=~/Music\n[Output]\nOutputDir=~\n",
     [](TMainWindow& W, const TAppFolders& F) {
       EXPECT_EQ(W.Find("EdtDir")->Text(), F.Home() + "/Music");
       EXPECT_EQ(W.Form->Output()->OutputDir(), F.Home());
     }},
    // Longer than any path: defaults, and not saved back; the other keys still load.
    {"FoldersLongerThanAnyPath",
     "[Source]\nDir=/" + std::string(PATH_MAX, 'd') + "\n[Output]\nFormat=7\nOutputDir=/" + std::string(PATH_MAX, 'o') +
         "\n",
     [](TMainWindow& W, const TAppFolders& F) {
       EXPECT_EQ(W.Find("EdtDir")->Text(), "");
       EXPECT_EQ(W.Form->Output()->OutputDir(), F.Music());
       EXPECT_EQ(W.Form->Output()->Format(), outFLAC);
       W.Close();
       EXPECT_LT(ReadFileAsString(F.SettingsFile()).size(), 4096u);
     }},
    {"WindowOffTheScreen", "[Position]\nLeft=-5000\nTop=9000\n",
     [](TMainWindow& W, const TAppFolders&) {
       const TRect area = Screen->MonitorFromWindow(W.Form).WorkareaRect;
       EXPECT_EQ(W.Form->Left(), area.Left + (area.Width() - W.Form->Width()) / 2);
       EXPECT_EQ(W.Form->Top(), area.Top + (area.Height() - W.Form->Height()) / 2);
     }},
    {"CutShort", "[Position]\nLeft=10\nTop=20\n[Output]\nFormat=7\nBitRate0=1\nQua",
     [](TMainWindow& W, const TAppFolders&) {
       EXPECT_EQ(W.Form->Left(), 10);
       EXPECT_EQ(W.Form->Top(), 20);
       EXPECT_EQ(W.Form->Output()->Format(), outFLAC);
       TFormatSettings mp3 = DefaultSettings(outMP3);
       mp3.BitRate = 1;
       ExpectDefaultsBut(W.Form->Output(), {{outMP3, {mp3, 2}}});
     }},
    {"PresetsThatMatchOrAreCustom", "[Output]\nQuality0=0\nBitRate0=0\nQual0=0\nQuality6=-1\nQuality9=0\n",
     [](TMainWindow& W, const TAppFolders&) {
       TFormatSettings mp3 = DefaultSettings(outMP3);
       ApplyPreset(outMP3, 0, mp3);
       ExpectDefaultsBut(W.Form->Output(), {{outMP3, {mp3, 0}},
                                            {outOggVorbis, {DefaultSettings(outOggVorbis), qpCustom}},
                                            {outMusepack, {DefaultSettings(outMusepack), 0}}});
     }},
    // Loading stores the preset as written, whatever the settings beside it: only the
    // user's own change of a setting makes one "Custom".
    {"PresetsKeptWhateverTheirSettings", "[Output]\nQuality0=4\nBitRate0=1\nQuality3=0\nSamplerate9=2\n",
     [](TMainWindow& W, const TAppFolders&) {
       TFormatSettings mp3 = DefaultSettings(outMP3), mpc = DefaultSettings(outMusepack);
       mp3.BitRate = 1;
       mpc.Samplerate = 2;
       ExpectDefaultsBut(W.Form->Output(),
                         {{outMP3, {mp3, 4}}, {outWave, {DefaultSettings(outWave), 0}}, {outMusepack, {mpc, 2}}});
     }},
    // Musepack's settings as made are "High"'s; without its Quality key it is "Medium".
    {"WithoutQualityKeysEveryFormatIsMedium", "[Output]\nFormat=9\n",
     [](TMainWindow& W, const TAppFolders&) {
       ExpectDefaultsBut(W.Form->Output(), {});
       const auto* quality = W.Find<TKvComboBox>("CmbQual");
       EXPECT_EQ(quality->ItemIndex(), 2);
       EXPECT_EQ(quality->Items()->Count(), 5);
     }},
    // Shown from the first show, while the empty list keeps the output group disabled.
    {"PresetAndVbrShownWithAnEmptyList", "[Output]\nFormat=6\nQual6=7\nQuality6=3\nVarBitrate0=1\n",
     [](TMainWindow& W, const TAppFolders&) {
       EXPECT_FALSE(W.Enabled("GrpOut"));
       EXPECT_EQ(W.Find<TKvComboBox>("CmbQual")->ItemIndex(), 3);
       EXPECT_EQ(W.Find("LblBit")->Caption(), "Average bitrate:");
     }},
};

class DamagedSettings : public testing::TestWithParam<TDamagedCase> {
protected:
  TAppFolders Folders;
};

TEST_P(DamagedSettings, LoadAsDefaults) {
  fs::create_directories(fs::path(Folders.SettingsFile()).parent_path());
  WriteFile(Folders.SettingsFile(), GetParam().Content);
  TMainWindow w;
  GetParam().Check(w, Folders);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedSettings, testing::ValuesIn(DamagedCases),
                         [](const testing::TestParamInfo<TDamagedCase>& I) { return std::string(I.param.Name); });

TEST_F(SettingsTest, ASaveThatFailsIsReportedOnce) {
  fs::create_directories(Folders.SettingsFile());  // a folder where the file should be
  TMainWindow w;
  TDialogScript script;
  script.Answer(IDOK);
  w.Close();
  ASSERT_EQ(script.Requests().size(), 1u);
  EXPECT_EQ(script.Requests()[0].Caption, "Error");
  EXPECT_EQ(script.Requests()[0].Text.rfind("The settings could not be saved: ", 0), 0u) << script.Requests()[0].Text;
  EXPECT_TRUE(fs::is_directory(Folders.SettingsFile()));
}

TEST_F(SettingsTest, AWritableFileBesideTheProgramWins) {
  const std::string program = In.Path("bin"), config = In.Path("config");
  fs::create_directories(program);
  EXPECT_EQ(SettingsFileName(program, config), config + "/sonvix.ini");
  WriteFile(program + "/sonvix.ini", std::string());
  EXPECT_EQ(SettingsFileName(program, config), program + "/sonvix.ini");
  fs::remove(program + "/sonvix.ini");
  EXPECT_EQ(SettingsFileName(program, ""), "");
}

}  // namespace
