// The output settings panel: what each user action on a format's panel does to the
// quality list ("Custom" while the settings are no preset's), to the settings stored
// and to the controls that depend on them.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <functional>

#include "app/UOutput.h"
#include "tests/app/MainWindow.h"
#include "tests/support/AudioSources.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvRadChk.h"

using namespace testsupport;

namespace {

using TAction = std::function<void(TMainWindow&)>;
using TCheck = std::function<void(TMainWindow&, const TFormatSettings&)>;

struct TPanelCase {
  const char* Name;
  TOutputFormat Format;
  TAction Act;
  // The quality list afterwards.
  int32_t Items, Index;
  bool Enabled;
  TCheck Check;
};

void PrintTo(const TPanelCase& C, std::ostream* Os) { *Os << C.Name; }

TAction Choose(const char* Combo, int32_t Index) { return [=](TMainWindow& W) { W.Choose(Combo, Index); }; }
TAction Click(const char* Control) { return [=](TMainWindow& W) { W.Click(Control); }; }
TAction Then(TAction A, TAction B) {
  return [=](TMainWindow& W) {
    A(W);
    B(W);
  };
}
template <class T>
T* Get(TMainWindow& W, const char* Name) {
  return W.Find<T>(Name);
}

const TPanelCase PanelCases[] = {
    {"Mp3BitrateMakesCustom", outMP3, Choose("CmbBit", 2), 6, 5, true,
     [](TMainWindow& W, const TFormatSettings& S) {
       EXPECT_EQ(S.BitRate, 2);
       EXPECT_EQ(Get<TKvComboBox>(W, "CmbQual")->Items()->Strings(5), "Custom");
     }},
    {"Mp3PresetAfterCustomSetsItsSettings", outMP3, Then(Choose("CmbBit", 2), Choose("CmbQual", 1)), 5, 1, true,
     [](TMainWindow&, const TFormatSettings& S) {
       EXPECT_EQ(S.Stereo, 2);
       EXPECT_EQ(S.BitRate, 2);
       EXPECT_EQ(S.Qual, 3);
     }},
    {"Mp3VariableBitrateKeepsThePreset", outMP3, Click("ChkBit"), 5, 2, true,
     [](TMainWindow& W, const TFormatSettings& S) {
       EXPECT_EQ(S.VarBitrate, 1);
       EXPECT_EQ(W.Find("LblBit")->Caption(), "Average bitrate:");
       EXPECT_TRUE(W.Enabled("CmbComp"));
     }},
    {"Mp3JointStereoMakesCustom", outMP3, Click("RdoJoin"), 6, 5, true,
     [](TMainWindow& W, const TFormatSettings& S) {
       EXPECT_EQ(S.Stereo, 1);
       EXPECT_EQ(W.Find("LblBit")->Caption(), "Bitrate:");
       EXPECT_FALSE(W.Enabled("CmbComp"));
     }},
    {"WmaMonoTakesAtMost48Kbits", outWMA, Click("RdoWMAMono"), 6, 5, true,
     [](TMainWindow& W, const TFormatSettings& S) {
       EXPECT_EQ(S.Stereo, 0);
       EXPECT_EQ(S.BitRate, 8);
       EXPECT_EQ(Get<TKvComboBox>(W, "CmbWMABR")->ItemIndex(), 8);
     }},
    {"Wma64KbitsOrMoreIsStereo", outWMA, Then(Click("RdoWMAMono"), Choose("CmbWMABR", 7)), 6, 5, true,
     [](TMainWindow& W, const TFormatSettings& S) {
       EXPECT_EQ(S.Stereo, 2);
       EXPECT_EQ(S.BitRate, 7);
       EXPECT_TRUE(Get<TKvRadioButton>(W, "RdoWMAStereo")->Checked());
     }},
    {"WmaLosslessAndVariableBitrateAreOffWithTheReason", outWMA, Then(Click("ChkWMALL"), Click("ChkWMABit")), 5, 2,
     true,
     [](TMainWindow& W, const TFormatSettings& S) {
       EXPECT_EQ(S.Lossless, 0);
       EXPECT_EQ(S.VarBitrate, 0);
       for (const char* name : {"ChkWMALL", "ChkWMABit", "ChkWMA2Bit"}) {
         EXPECT_FALSE(W.Enabled(name)) << name;
         EXPECT_NE(W.Find(name)->Hint().find("Not available"), std::string::npos) << name;
       }
       EXPECT_TRUE(W.Enabled("CmbWMABR"));
     }},
    {"WavAdpcmHasFourBitSamples", outWave, Choose("CmbWavEnc", 1), 6, 5, true,
     [](TMainWindow& W, const TFormatSettings& S) {
       EXPECT_EQ(S.Qual, 1);
       auto* size = Get<TKvComboBox>(W, "CmbWavSS");
       EXPECT_EQ(size->Style(), csDropDown);
       EXPECT_EQ(size->Text(), "4");
       EXPECT_FALSE(size->Enabled());
     }},
    {"WavPresetAfterAdpcmGivesTheSizeListBack", outWave, Then(Choose("CmbWavEnc", 1), Choose("CmbQual", 0)), 5, 0,
     true,
     [](TMainWindow& W, const TFormatSettings& S) {
       EXPECT_EQ(S.Qual, 0);
       auto* size = Get<TKvComboBox>(W, "CmbWavSS");
       EXPECT_EQ(size->Style(), csDropDownList);
       EXPECT_EQ(size->ItemIndex(), 3);
       EXPECT_TRUE(size->Enabled());
     }},
    {"WavSampleRateMakesCustom", outWave, Choose("CmbWavSR", 6), 6, 5, true,
     [](TMainWindow&, const TFormatSettings& S) { EXPECT_EQ(S.Samplerate, 6); }},
    {"OggQualityMakesCustom", outOggVorbis, Choose("CmbOGGCQ", 2), 6, 5, true,
     [](TMainWindow&, const TFormatSettings& S) { EXPECT_EQ(S.Qual, 2); }},
    {"MusepackSampleRateMakesCustom", outMusepack, Choose("CmbMPCSR", 3), 6, 5, true,
     [](TMainWindow&, const TFormatSettings& S) { EXPECT_EQ(S.Samplerate, 3); }},
    {"WavPackHasNoPresets", outWavPack, Click("RdoWVJoin"), 5, 0, false,
     [](TMainWindow&, const TFormatSettings& S) { EXPECT_EQ(S.Stereo, 1); }},
    {"MonkeysAudioHasNoPresets", outMonkeysAudio, Choose("CmbMACCQ", 3), 5, 0, false,
     [](TMainWindow&, const TFormatSettings& S) { EXPECT_EQ(S.Qual, 3); }},
    {"FlacHasNoPresets", outFLAC, Choose("CmbFLCCQ", 8), 5, 0, false,
     [](TMainWindow&, const TFormatSettings& S) { EXPECT_EQ(S.Qual, 8); }},
    {"TrueAudioHasNoPresets", outTrueAudio, [](TMainWindow&) {}, 5, 0, false, nullptr},
    {"SystemCodecsHaveNoPresetsAndTheFormatShownIsUsed", outWMASystem, Choose("CmbWMA2Cod", 1), 5, 0, false,
     [](TMainWindow& W, const TFormatSettings& S) {
       EXPECT_EQ(S.Qual, 1);
       EXPECT_EQ(S.BitRate, 0);
       EXPECT_EQ(Get<TKvComboBox>(W, "CmbWMA2Form")->ItemIndex(), 0);
       EXPECT_GT(Get<TKvComboBox>(W, "CmbWMA2Form")->Items()->Count(), 0);
     }},
};

class OutputPanel : public testing::TestWithParam<TPanelCase> {
protected:
  TAppFolders Folders;
  TTempDir In;
};

TEST_P(OutputPanel, ActionsSetTheSettingsAndTheQualityList) {
  const TPanelCase& c = GetParam();
  TMainWindow w;
  w.AddFiles({MakeWave(In.Path("a.wav"), 44100, 2, 0.2)});
  w.Choose("CmbFormat", c.Format);
  static const char* const Panels[] = {"PnlMP3", "PnlWMA", "PnlWMA2", "PnlWav", "PnlWV",
                                       "PnlMAC", "PnlOGG", "PnlFLC", "PnlTTA", "PnlMPC"};
  ASSERT_TRUE(w.Find(Panels[c.Format])->Visible());
  c.Act(w);
  auto* quality = w.Find<TKvComboBox>("CmbQual");
  EXPECT_EQ(quality->Items()->Count(), c.Items);
  EXPECT_EQ(quality->ItemIndex(), c.Index);
  EXPECT_EQ(quality->Enabled(), c.Enabled);
  if (c.Check) c.Check(w, w.Form->Output()->Settings(c.Format));
}

INSTANTIATE_TEST_SUITE_P(Rules, OutputPanel, testing::ValuesIn(PanelCases),
                         [](const testing::TestParamInfo<TPanelCase>& I) { return std::string(I.param.Name); });

}  // namespace
