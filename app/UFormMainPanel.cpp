// The output settings panel of the main window: the format and quality lists, one
// panel of encoder settings per format, and the handlers that write the user's choices
// through TOutput's setters. Every list index shown is the index stored in the
// format's settings.
#include <algorithm>
#include <initializer_list>

#include "app/UFileList.h"
#include "app/UFormMain.h"
#include "app/UOutput.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvLabel.h"
#include "widgets/KvPanel.h"
#include "widgets/KvRadChk.h"

namespace {

// Item 5 of the quality list, present while the format's settings are no preset's.
const char* const CustomItem = "Custom";
constexpr int32_t PresetCount = 5;
// WMA bitrates from this index down to 8 kbit/s are 48 kbit/s or less: what mono WMA
// can take.
constexpr uint8_t WMAMonoBitRate = 8;
// The WAV encodings.
constexpr int32_t WavADPCM = 1;

// Counts how deep the window is in filling its controls.
class TFillScope {
public:
  explicit TFillScope(int32_t& Depth) : FDepth(Depth) { ++FDepth; }
  ~TFillScope() { --FDepth; }
  TFillScope(const TFillScope&) = delete;
  TFillScope& operator=(const TFillScope&) = delete;

private:
  int32_t& FDepth;
};

uint8_t Index(const TKvComboBox* C) { return static_cast<uint8_t>(std::max(C->ItemIndex(), 0)); }

}  // namespace

void TFrmMain::CmbFormatChange() {
  const int32_t format = CmbFormat->ItemIndex();
  if (format < 0 || format >= OutputFormatCount) return;
  FOutput->SetFormat(static_cast<TOutputFormat>(format));
  FOutput->SetNormalize(ChkNorm->Checked());
  for (int32_t f = 0; f < OutputFormatCount; ++f) FPanels[f]->SetVisible(f == format);
  RefreshFormatPanel();
}

void TFrmMain::RefreshFormatPanel() {
  {
    TFillScope filling(FFilling);
    const auto settings = [this](TOutputFormat F) -> const TFormatSettings& { return FOutput->Settings(F); };
    const TFormatSettings& mp3 = settings(outMP3);
    ChkBit->SetChecked(mp3.VarBitrate != 0);
    CmbBit->SetItemIndex(mp3.BitRate);
    CmbComp->SetItemIndex(mp3.Qual);
    const TFormatSettings& wma = settings(outWMA);
    ChkWMABit->SetChecked(wma.VarBitrate != 0);
    ChkWMALL->SetChecked(wma.Lossless != 0);
    CmbWMABR->SetItemIndex(wma.BitRate);
    CmbWMAComp->SetItemIndex(wma.Qual);
    const TFormatSettings& wav = settings(outWave);
    CmbWavSR->SetItemIndex(wav.Samplerate);
    CmbWavSS->SetItemIndex(wav.Samplesize);
    CmbWavEnc->SetItemIndex(wav.Qual);
    CmbWVCQ->SetItemIndex(settings(outWavPack).Qual);
    CmbMACCQ->SetItemIndex(settings(outMonkeysAudio).Qual);
    CmbOGGCQ->SetItemIndex(settings(outOggVorbis).Qual);
    CmbFLCCQ->SetItemIndex(settings(outFLAC).Qual);
    CmbMPCSR->SetItemIndex(settings(outMusepack).Samplerate);
    CmbMPCCQ->SetItemIndex(settings(outMusepack).Qual);
    ShowWMACodec();

    // The channel buttons: 0 mono; 1 joint stereo where there is such a button; else stereo.
    const auto stereo = [](uint8_t Value, TKvRadioButton* Mono, TKvRadioButton* Joint, TKvRadioButton* Stereo) {
      (Value == 0 ? Mono : Value == 1 && Joint ? Joint : Stereo)->SetChecked(true);
    };
    stereo(mp3.Stereo, RdoMono, RdoJoin, RdoStereo);
    stereo(wma.Stereo, RdoWMAMono, nullptr, RdoWMAStereo);
    stereo(wav.Stereo, RdoWavMono, nullptr, RdoWavStereo);
    stereo(settings(outWavPack).Stereo, RdoWVMono, RdoWVJoin, RdoWVStereo);
    stereo(settings(outMonkeysAudio).Stereo, RdoMACMono, nullptr, RdoMACStereo);
    stereo(settings(outOggVorbis).Stereo, RdoOGGMono, nullptr, RdoOGGStereo);
  }
  ApplyPanelStates();
}

void TFrmMain::ShowPreset(bool Presets) {
  const TQualityPreset preset = Presets ? FOutput->Presets(FOutput->Format()) : 0;
  TStrings* items = CmbQual->Items();
  if (preset == qpCustom || preset >= PresetCount) {
    if (items->Count() <= PresetCount) items->Add(CustomItem);
    CmbQual->SetItemIndex(PresetCount);
  } else {
    while (items->Count() > PresetCount) items->Delete(PresetCount);
    CmbQual->SetItemIndex(preset);
  }
}

void TFrmMain::ApplyPanelStates() {
  const TOutputFormat format = FOutput->Format();
  const bool lossless = ChkWMALL->Checked();
  const bool presets = format == outMP3 || format == outWave || format == outOggVorbis || format == outMusepack ||
                       (format == outWMA && !lossless);
  const bool vbr = ChkBit->Checked();
  const bool wmaVbr = ChkWMABit->Checked();
  // ADPCM stores 4 bits per sample: the size list shows that and cannot be changed.
  const bool adpcm = CmbWavEnc->ItemIndex() == WavADPCM;
  // What the controls show follows the settings at once, also while the group is
  // disabled (an empty list at start-up).
  ShowPreset(presets);
  LblBit->SetCaption(vbr ? "Average bitrate:" : "Bitrate:");
  if (adpcm) {
    CmbWavSS->SetStyle(csDropDown);
    CmbWavSS->SetText("4");
  } else {
    CmbWavSS->SetStyle(csDropDownList);
    CmbWavSS->SetItemIndex(FOutput->Settings(outWave).Samplesize);
  }

  if (!GrpOut->Enabled()) return;
  CmbQual->SetEnabled(presets);
  LblComp->SetEnabled(vbr);
  CmbComp->SetEnabled(vbr);
  ChkWMABit->SetEnabled(WMAVariableBitrateAvailable && !lossless);
  for (TControl* C : std::initializer_list<TControl*>{LblWMAComp, CmbWMAComp}) C->SetEnabled(!lossless && wmaVbr);
  for (TControl* C : std::initializer_list<TControl*>{LblWMABR, CmbWMABR, LblWMAKb})
    C->SetEnabled(!lossless && !wmaVbr);
  CmbWavSS->SetEnabled(!adpcm);
}

void TFrmMain::SetOutputGroupEnabled(bool Value) {
  if (GrpOut->Enabled() == Value) return;
  GrpOut->SetEnabled(Value);
  // The group gives its children back the states they had; what follows the settings
  // is set again.
  if (Value) ApplyPanelStates();
}

void TFrmMain::CmbQualChange() {
  if (Filling()) return;
  FOutput->SetQuality(Index(CmbQual));
  RefreshFormatPanel();
}

void TFrmMain::CmbBitClick(TKvComboBox* Sender) {
  if (Filling()) return;
  const uint8_t index = Index(Sender);
  FOutput->SetBitRate(index);
  if (FOutput->Format() == outWMA && index < WMAMonoBitRate) RdoWMAStereo->SetChecked(true);
  RefreshFormatPanel();
}

void TFrmMain::CmbCompClick(TKvComboBox* Sender) {
  if (Filling()) return;
  FOutput->SetQual(Index(Sender));
  RefreshFormatPanel();
}

void TFrmMain::CmbWavSRClick(TKvComboBox* Sender) {
  if (Filling()) return;
  FOutput->SetSampleRate(Index(Sender));
  RefreshFormatPanel();
}

void TFrmMain::CmbWavSSClick() {
  if (Filling()) return;
  FOutput->SetSampleSize(Index(CmbWavSS));
  RefreshFormatPanel();
}

void TFrmMain::CmbWavEncClick() {
  if (Filling()) return;
  FOutput->SetQual(Index(CmbWavEnc));
  RefreshFormatPanel();
}

void TFrmMain::ChkBitClick(TKvCheckBox* Sender) {
  if (Filling()) return;
  if (Sender) FOutput->SetVarBitrate(Sender->Checked() ? 1 : 0);
  ApplyPanelStates();
}

void TFrmMain::ChkWMALLClick() {
  if (Filling()) return;
  FOutput->SetLossless(ChkWMALL->Checked() ? 1 : 0);
  ApplyPanelStates();
}

void TFrmMain::RdoStereoClick() {
  if (Filling()) return;
  // Each format reads its own buttons: 2 stereo, 0 mono, 1 joint stereo.
  const auto value = [](TKvRadioButton* Stereo, TKvRadioButton* Mono) -> uint8_t {
    return Stereo->Checked() ? 2 : (!Mono || Mono->Checked()) ? 0 : 1;
  };
  switch (FOutput->Format()) {
    case outMP3: FOutput->SetStereo(value(RdoStereo, RdoMono)); break;
    case outWMA:
      if (RdoWMAStereo->Checked()) {
        FOutput->SetStereo(2);
      } else {
        FOutput->SetStereo(0);
        if (Index(CmbWMABR) < WMAMonoBitRate) FOutput->SetBitRate(WMAMonoBitRate);
      }
      break;
    case outWave: FOutput->SetStereo(value(RdoWavStereo, nullptr)); break;
    case outWavPack: FOutput->SetStereo(value(RdoWVStereo, RdoWVMono)); break;
    case outMonkeysAudio: FOutput->SetStereo(value(RdoMACStereo, nullptr)); break;
    case outOggVorbis: FOutput->SetStereo(value(RdoOGGStereo, nullptr)); break;
    default: return;
  }
  RefreshFormatPanel();
}

void TFrmMain::FillWMAFormats() {
  CmbWMA2Form->Items()->Assign(FFileList->GetWMACodecFormats(std::max(CmbWMA2Cod->ItemIndex(), 0)));
}

void TFrmMain::ShowWMACodec() {
  TFillScope filling(FFilling);
  const TFormatSettings& s = FOutput->Settings(outWMASystem);
  ChkWMA2Bit->SetChecked(s.VarBitrate != 0);
  FFileList->SetWMACodecVBR(s.VarBitrate != 0);
  CmbWMA2Cod->SetItemIndex(s.Qual < CmbWMA2Cod->Items()->Count() ? s.Qual : -1);
  FillWMAFormats();
  CmbWMA2Form->SetItemIndex(s.BitRate < CmbWMA2Form->Items()->Count() ? s.BitRate : -1);
}

void TFrmMain::CmbWMA2CodChange() {
  if (Filling()) return;
  FillWMAFormats();
  CmbWMA2Form->SetItemIndex(CmbWMA2Form->Items()->Count() > 0 ? 0 : -1);
  FOutput->SetQual(Index(CmbWMA2Cod));
  // The format shown is the one used: the first of the new codec's list.
  FOutput->SetBitRate(0);
}

void TFrmMain::ChkWMA2BitClick() {
  if (Filling()) return;
  const bool vbr = ChkWMA2Bit->Checked();
  FFileList->SetWMACodecVBR(vbr);
  FOutput->SetVarBitrate(vbr ? 1 : 0);
  CmbWMA2CodChange();
}
