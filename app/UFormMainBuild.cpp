// The main window's controls, built in code: 594 x 668 pixels of client area on a
// diagonal gradient, the source group and the tool menu at the top, the two lists with
// their counters and buttons, the player, the output group with the format panels,
// and the run panel at the bottom.
#include <functional>
#include <initializer_list>

#include "app/UFileList.h"
#include "app/UFormMain.h"
#include "app/UForms.h"
#include "app/UOutput.h"
#include "audio/io/TSL_CDROM.h"
#include "audio/io/TSL_DXAudio.h"
#include "audio/io/TSL_Wave.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"
#include "widgets/KvBtnEdt.h"
#include "widgets/KvButton.h"
#include "widgets/KvCmboBx.h"
#include "widgets/KvLabel.h"
#include "widgets/KvListVw.h"
#include "widgets/KvPanel.h"
#include "widgets/KvPlayerImages.h"
#include "widgets/KvPrgres.h"
#include "widgets/KvRadChk.h"
#include "widgets/KvSpnEdt.h"
#include "widgets/KvTabs.h"
#include "widgets/KvToolBtn.h"

namespace {

constexpr int32_t FormWidth = 594;
constexpr int32_t FormHeight = 668;

using TItems = std::initializer_list<const char*>;

TKvLabel* MakeLabel(TCustomForm* Owner, TWinControl* Parent, const char* Name, int32_t X, int32_t Y,
                    const std::string& Caption) {
  auto* L = AddControl<TKvLabel>(Owner, Parent, Name, Bounds(X, Y, 10, 13));
  L->SetTransparent(true);
  L->SetCaption(Caption);
  return L;
}

// The windows' edit frame: flat, turning bold while hot or focused.
template <class T>
void FlatFrame(T* Control) {
  Control->SetFrameVisible(true);
  Control->SetFrameHotTrack(true);
  Control->SetFrameHotStyle(fsFlat);
  Control->SetFramingPreference(fpCustomFraming);
}

TKvComboBox* MakeCombo(TCustomForm* Owner, TWinControl* Parent, const char* Name, TRect Bounds, TItems Items) {
  auto* C = AddControl<TKvComboBox>(Owner, Parent, Name, Bounds);
  C->SetStyle(csDropDownList);
  FlatFrame(C);
  for (const char* Item : Items) C->Items()->Add(Item);
  if (C->Items()->Count() > 0) C->SetItemIndex(0);
  return C;
}

// A folder's edit with its browse button.
TKvButtonEdit* MakeFolderEdit(TCustomForm* Owner, TWinControl* Parent, const char* Name, TRect Bounds,
                              const char* Hint) {
  auto* E = AddControl<TKvButtonEdit>(Owner, Parent, Name, Bounds);
  FlatFrame(E);
  E->SetButtonKind(bkFolder);
  E->SetHint(Hint);
  E->SetButtonHint("Browse directory");
  return E;
}

TKvBitBtn* MakeButton(TCustomForm* Owner, TWinControl* Parent, const char* Name, TRect Bounds, const char* Caption) {
  auto* B = AddControl<TKvBitBtn>(Owner, Parent, Name, Bounds);
  B->SetThemeAware(false);
  B->SetCaption(Caption);
  return B;
}

template <class T>
T* MakeGlyphButton(TCustomForm* Owner, TWinControl* Parent, const char* Name, TRect Bounds, const char* Caption) {
  auto* B = AddControl<T>(Owner, Parent, Name, Bounds);
  B->SetTransparent(true);
  B->SetCaption(Caption);
  return B;
}

// A check box whose caption stands left of its box ("Variable bitrate (VBR): [x]").
TKvCheckBox* MakeCheck(TCustomForm* Owner, TWinControl* Parent, const char* Name, TRect Bounds, const char* Caption) {
  auto* C = MakeGlyphButton<TKvCheckBox>(Owner, Parent, Name, Bounds, Caption);
  C->SetAlignment(taLeftJustify);
  return C;
}

TKvPanel* MakeClearPanel(TCustomForm* Owner, TWinControl* Parent, const char* Name, TRect Bounds) {
  auto* P = AddControl<TKvPanel>(Owner, Parent, Name, Bounds);
  P->SetBorderOuter(fsNone);
  P->SetTransparent(true);
  P->SetCaption("");
  return P;
}

TKvGroupBox* MakeGroup(TCustomForm* Owner, TWinControl* Parent, const char* Name, TRect Bounds, const char* Caption) {
  auto* G = AddControl<TKvGroupBox>(Owner, Parent, Name, Bounds);
  G->SetTransparent(true);
  G->SetCaption(Caption);
  return G;
}

TKvListView* MakeList(TCustomForm* Owner, TWinControl* Parent, const char* Name, TRect Bounds) {
  auto* L = AddControl<TKvListView>(Owner, Parent, Name, Bounds);
  FlatFrame(L);
  L->SetCheckboxes(true);
  L->SetShowColumnHeaders(false);
  L->SetReadOnly(true);
  L->SetRowSelect(true);
  L->SetMultiSelect(true);
  L->SetHideSelection(false);
  AddEntryColumns(L);
  return L;
}

TKvToolbar* MakeToolbar(TCustomForm* Owner, TWinControl* Parent, const char* Name, TRect Bounds) {
  auto* T = AddControl<TKvToolbar>(Owner, Parent, Name, Bounds);
  T->SetAlign(alNone);
  T->SetBoundsRect(Bounds);
  T->SetVisualStyle(vsGradient);
  T->SetTextOptions(ttoCustom);
  T->SetWrapControls(false);
  T->SetAutoStyle(false);
  return T;
}

}  // namespace

void TFrmMain::BuildWindow() {
  SetName("FrmMain");
  SetCaption("Lumo Audio Converter");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu | biMinimize);
  SetClientWidth(FormWidth);
  SetClientHeight(FormHeight);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  SetShowHint(true);
  AddBackground(this, "BgrMain");

  BuildSource();
  BuildLists();
  BuildOutput();
  BuildFormatPanels();
  BuildBottom();
  BuildMenu();
  BuildHelpers();
}

void TFrmMain::BuildSource() {
  GrpSource = MakeGroup(this, this, "GrpSource", Bounds(6, 4, 460, 100), "Source");
  PageSource = AddControl<TKvPageControl>(this, GrpSource, "PageSource", Bounds(8, 18, 444, 74));
  PageSource->SetBoldCurrentTab(true);
  PageSource->SetShowFocusRect(false);
  PageSource->SetShowShadow(false);
  PageSource->SetTabWidth(80);
  PageSource->SetTransparent(true);
  PageSource->SetFixedDimension(19);
  const struct {
    TKvTabSheet** Sheet;
    const char* Name;
    const char* Caption;
  } Sheets[] = {{&TabDrv, "TabDrv", "Audio CD"}, {&TabFld, "TabFld", "Folder"}, {&TabFile, "TabFile", "File"}};
  for (const auto& S : Sheets) {
    auto* Sheet = new TKvTabSheet(this);
    Sheet->SetName(S.Name);
    Sheet->SetPageControl(PageSource);
    Sheet->SetCaption(S.Caption);
    Sheet->SetColor(clSkyBlue);
    *S.Sheet = Sheet;
  }
  PageSource->SetActivePage(TabFld);
  PageSource->OnPageChange = [this](TComponent*) { PageSourcePageChange(); };

  MakeLabel(this, TabDrv, "LblDrive", 8, 14, "Select drive from the list:");
  CmbDrive = MakeCombo(this, TabDrv, "CmbDrive", Bounds(160, 10, 182, 21), {"***"});
  CmbDrive->OnSelect = [this](TComponent*) { CmbDriveSelect(); };
  BtnEject = MakeButton(this, TabDrv, "BtnEject", Bounds(350, 8, 80, 25), "Eject");
  BtnEject->OnClick = [this](TComponent*) { BtnEjectClick(); };
  BtnEject->SetEnabled(false);  // "***" is selected

  MakeLabel(this, TabFld, "LblDir", 8, 14, "Select directory:");
  EdtDir = MakeFolderEdit(this, TabFld, "EdtDir", Bounds(114, 10, 316, 21), "Full path to folder\nwith audio files");
  EdtDir->OnButtonClick = [this](TComponent*) { EdtDirButtonClick(); };
  EdtDir->OnKeyDown = [this](TComponent*, uint16_t& Key, TShiftState) { EdtDirKeyDown(Key); };

  auto* add = MakeLabel(this, TabFile, "LblAdd", 8, 6,
                        "Use also 'drag && drop' operation to easily and quickly add files from external folders "
                        "into the list below.");
  add->SetAutoSize(false);
  add->SetWordWrap(true);
  add->SetBounds(8, 6, 250, 42);
  BtnAdd = MakeButton(this, TabFile, "BtnAdd", Bounds(270, 10, 160, 28), "Add files to the list");
  BtnAdd->OnClick = [this](TComponent*) { BtnAddClick(); };
}

void TFrmMain::BuildLists() {
  LstConv = MakeList(this, this, "LstConv", Bounds(6, 108, 460, 212));
  LstRip = MakeList(this, this, "LstRip", Bounds(6, 108, 460, 212));
  LstRip->SetVisible(false);
  const struct {
    TKvListView* View;
    std::function<TFileList*()> List;
  } Lists[] = {{LstConv, [this] { return FFileList.get(); }}, {LstRip, [this] { return FCDList.get(); }}};
  for (const auto& L : Lists) {
    TKvListView* View = L.View;
    auto List = L.List;
    View->OnCheckStateChange = [this, View, List](TComponent*, TListItem* Item) {
      ListCheckStateChange(View, List(), Item);
    };
    View->OnInsert = [this, View, List](TComponent*, TListItem*) { ListInsert(View, List()); };
    View->OnSelectItem = [this, List](TComponent*, TListItem* Item, bool Selected) {
      ListSelectItem(List(), Item, Selected);
    };
    View->OnDblClick = [this, View](TComponent*) { ListDblClick(View == LstRip); };
  }

  auto* count = MakeGroup(this, this, "GrpCount", Bounds(472, 106, 116, 54), "Count of files");
  MakeLabel(this, count, "LblAll", 10, 18, "All:");
  LblAllC = MakeLabel(this, count, "LblAllC", 70, 18, "0");
  MakeLabel(this, count, "LblCheck", 10, 34, "Checked:");
  LblChkC = MakeLabel(this, count, "LblChkC", 70, 34, "0");

  BtnCheck = MakeButton(this, this, "BtnCheck", Bounds(472, 166, 116, 25), "Check all");
  BtnCheck->OnClick = [this](TComponent*) { BtnCheckClick(true); };
  BtnUncheck = MakeButton(this, this, "BtnUncheck", Bounds(472, 194, 116, 25), "Uncheck all");
  BtnUncheck->OnClick = [this](TComponent*) { BtnCheckClick(false); };
  BtnDel = MakeButton(this, this, "BtnDel", Bounds(472, 222, 116, 25), "Delete");
  BtnDel->OnClick = [this](TComponent*) { BtnDelClick(); };
  BtnClr = MakeButton(this, this, "BtnClr", Bounds(472, 250, 116, 25), "Clear list");
  BtnClr->OnClick = [this](TComponent*) { BtnClrClick(); };
  SpnMove = AddControl<TKvSpinButtons>(this, this, "SpnMove", Bounds(472, 282, 18, 32));
  SpnMove->OnUpRightClick = [this](TComponent*) { SpnMoveClick(false); };
  SpnMove->OnDownLeftClick = [this](TComponent*) { SpnMoveClick(true); };
  ChkUnc = MakeGlyphButton<TKvCheckBox>(this, this, "ChkUnc", Bounds(474, 322, 114, 17), "Auto uncheck");
  ChkUnc->SetChecked(true);
  ChkUnc->OnClick = [this](TComponent*) { FOutput->SetAutoUncheck(ChkUnc->Checked()); };

  // The player.
  ImageList1 = new TImageList(this);
  ImageList1->SetName("ImageList1");
  AddPlayerImages(ImageList1);
  ToolPlay = MakeToolbar(this, this, "ToolPlay", Bounds(6, 324, 160, 30));
  ToolPlay->SetImages(ImageList1);
  ToolPlay->SetButtonSize(30, 28, false);
  const struct {
    TKvToolButton** Button;
    const char* Name;
    TPlayerImage Image;
    std::function<void()> Click;
  } Player[] = {{&BtnPPlay, "BtnPPlay", piPlay, [this] { BtnPPlayClick(); }},
                {&BtnPPause, "BtnPPause", piPause, [this] { BtnPPauseClick(); }},
                {&BtnPStop, "BtnPStop", piStop, [this] { BtnPStopClick(); }},
                {&BtnPPrew, "BtnPPrew", piPrevious, [this] { PlayNeighbour(-1); }},
                {&BtnPNext, "BtnPNext", piNext, [this] { PlayNeighbour(1); }}};
  for (const auto& P : Player) {
    auto* B = AddControl<TKvToolButton>(this, ToolPlay, P.Name, Bounds(0, 0, 30, 28));
    B->SetImageIndex(P.Image);
    B->OnClick = [Click = P.Click](TComponent*) { Click(); };
    *P.Button = B;
  }
  LblPos = MakeLabel(this, this, "LblPos", 176, 332, "");
}

void TFrmMain::BuildOutput() {
  GrpOut = MakeGroup(this, this, "GrpOut", Bounds(6, 358, 582, 206), "Output");
  auto* format = MakeLabel(this, GrpOut, "LblFormat", 8, 18, "File\nformat:");
  format->SetAutoSize(true);
  CmbFormat = MakeCombo(this, GrpOut, "CmbFormat", Bounds(54, 20, 240, 21),
                        {"MP3 (.mp3)", "WMA-Windows Media Audio (.wma)", "WMA using system codecs (.wma)",
                         "Microsoft Wave (.wav)", "WavPack (.wv)", "Monkey's Audio (.ape)", "Ogg Vorbis (.ogg)",
                         "FLAC (.flac)", "True Audio (.tta)", "Musepack (.mpc)"});
  CmbFormat->OnChange = [this](TComponent*) { CmbFormatChange(); };
  MakeLabel(this, GrpOut, "LblQual", 8, 54, "Quality:");
  CmbQual = MakeCombo(this, GrpOut, "CmbQual", Bounds(54, 50, 240, 21),
                      {"High", "Above Medium", "Medium", "Below Medium", "Low"});
  CmbQual->OnChange = [this](TComponent*) { CmbQualChange(); };

  MakeLabel(this, GrpOut, "LblCapt", 8, 80, "File name format:");
  CmbCapt = MakeCombo(this, GrpOut, "CmbCapt", Bounds(8, 96, 286, 21), {});
  for (const char* Pattern : FileNamePatternNames) CmbCapt->Items()->Add(Pattern);
  CmbCapt->SetItemIndex(0);
  CmbCapt->SetDroppedWidth(280);
  CmbCapt->OnClick = [this](TComponent*) { CmbCaptClick(); };
  BtnTag = MakeButton(this, GrpOut, "BtnTag", Bounds(218, 166, 76, 25), "Tag editor");
  BtnTag->OnClick = [this](TComponent*) { BtnTagClick(); };

  MakeLabel(this, GrpOut, "LblOutDir", 8, 124, "Output directory:");
  EdtOutDir = MakeFolderEdit(this, GrpOut, "EdtOutDir", Bounds(8, 140, 286, 21), "Directory for\noutput files");
  EdtOutDir->OnButtonClick = [this](TComponent*) { EdtOutDirButtonClick(); };
  EdtOutDir->OnChange = [this](TComponent*) { EdtOutDirChange(); };

  MakeLabel(this, GrpOut, "LblPrior", 8, 172, "Process priority:");
  CmbPrior = MakeCombo(this, GrpOut, "CmbPrior", Bounds(112, 168, 90, 21), {"High", "Normal", "Low"});
  CmbPrior->SetItemIndex(1);
  CmbPrior->OnChange = [this](TComponent*) { FOutput->SetPriority(static_cast<uint8_t>(CmbPrior->ItemIndex())); };
  ChkNorm = MakeCheck(this, GrpOut, "ChkNorm", Bounds(2, 188, 160, 17), "  Normalize audio level:");
  ChkNorm->SetChecked(true);
  ChkNorm->OnClick = [this](TComponent*) { FOutput->SetNormalize(ChkNorm->Checked()); };

  GrpCustom = MakeGroup(this, GrpOut, "GrpCustom", Bounds(302, 14, 272, 186), "Manual setting of quality");
}

void TFrmMain::BuildFormatPanels() {
  const char* const Names[] = {"PnlMP3", "PnlWMA", "PnlWMA2", "PnlWav", "PnlWV",
                               "PnlMAC", "PnlOGG", "PnlFLC", "PnlTTA", "PnlMPC"};
  for (int32_t F = 0; F < 10; ++F) {
    FPanels[F] = MakeClearPanel(this, GrpCustom, Names[F], Bounds(4, 18, 264, 164));
    FPanels[F]->SetVisible(false);
  }
  const auto bitClick = [this](TKvComboBox* C) { C->OnClick = [this, C](TComponent*) { CmbBitClick(C); }; };
  const auto compClick = [this](TKvComboBox* C) { C->OnClick = [this, C](TComponent*) { CmbCompClick(C); }; };
  const auto stereoClick = [this](std::initializer_list<TKvRadioButton*> Buttons) {
    for (TKvRadioButton* R : Buttons) R->OnClick = [this](TComponent*) { RdoStereoClick(); };
  };
  const auto radio = [this](TWinControl* Panel, const char* Name, int32_t X, int32_t Y, int32_t W, const char* Caption) {
    return MakeGlyphButton<TKvRadioButton>(this, Panel, Name, Bounds(X, Y, W, 17), Caption);
  };
  const TItems Steps = {"0 - highest", "1", "2", "3", "4", "5", "6", "7", "8", "9 - lowest"};

  TKvPanel* P = FPanels[0];
  ChkBit = MakeCheck(this, P, "ChkBit", Bounds(4, 8, 172, 17), "Variable bitrate (VBR):");
  ChkBit->OnClick = [this](TComponent*) { ChkBitClick(ChkBit); };
  LblBit = MakeLabel(this, P, "LblBit", 8, 38, "Bitrate:");
  CmbBit = MakeCombo(this, P, "CmbBit", Bounds(130, 34, 70, 21),
                     {"320", "256", "224", "192", "160", "128", "112", "96", "80", "64", "56", "48", "40", "32", "Auto"});
  bitClick(CmbBit);
  MakeLabel(this, P, "LblKb", 206, 38, "kbps");
  LblComp = MakeLabel(this, P, "LblComp", 8, 64, "VBR compression\n quality:");
  CmbComp = MakeCombo(this, P, "CmbComp", Bounds(130, 66, 110, 21), Steps);
  compClick(CmbComp);
  RdoMono = radio(P, "RdoMono", 8, 108, 64, "Mono");
  RdoJoin = radio(P, "RdoJoin", 80, 108, 100, "Joint stereo");
  RdoStereo = radio(P, "RdoStereo", 190, 108, 70, "Stereo");
  stereoClick({RdoMono, RdoJoin, RdoStereo});

  P = FPanels[1];
  ChkWMALL = MakeCheck(this, P, "ChkWMALL", Bounds(4, 8, 172, 17), "Lossless encoding:");
  ChkWMALL->OnClick = [this](TComponent*) { ChkWMALLClick(); };
  ChkWMABit = MakeCheck(this, P, "ChkWMABit", Bounds(4, 30, 172, 17), "Variable bitrate (VBR):");
  ChkWMABit->OnClick = [this](TComponent*) { ChkBitClick(ChkWMABit); };
  LblWMABR = MakeLabel(this, P, "LblWMABR", 8, 60, "Desired bitrate:");
  CmbWMABR = MakeCombo(this, P, "CmbWMABR", Bounds(130, 56, 70, 21),
                       {"320", "256", "192", "160", "128", "96", "80", "64", "48", "32", "20", "16", "8"});
  bitClick(CmbWMABR);
  LblWMAKb = MakeLabel(this, P, "LblWMAKb", 206, 60, "kbps");
  LblWMAComp = MakeLabel(this, P, "LblWMAComp", 8, 86, "VBR compression\n quality:");
  CmbWMAComp = MakeCombo(this, P, "CmbWMAComp", Bounds(130, 88, 110, 21), Steps);
  compClick(CmbWMAComp);
  RdoWMAMono = radio(P, "RdoWMAMono", 8, 128, 64, "Mono");
  RdoWMAStereo = radio(P, "RdoWMAStereo", 80, 128, 70, "Stereo");
  stereoClick({RdoWMAMono, RdoWMAStereo});

  P = FPanels[2];
  MakeLabel(this, P, "LblWMA2Cod", 8, 10, "Installed codecs:");
  CmbWMA2Cod = MakeCombo(this, P, "CmbWMA2Cod", Bounds(8, 26, 252, 21), {});
  CmbWMA2Cod->OnChange = [this](TComponent*) { CmbWMA2CodChange(); };
  MakeLabel(this, P, "LblWMA2Form", 8, 56, "Supported formats:");
  CmbWMA2Form = MakeCombo(this, P, "CmbWMA2Form", Bounds(8, 72, 252, 21), {});
  bitClick(CmbWMA2Form);
  ChkWMA2Bit = MakeCheck(this, P, "ChkWMA2Bit", Bounds(4, 106, 172, 17), "Variable bitrate (VBR):");
  ChkWMA2Bit->OnClick = [this](TComponent*) { ChkWMA2BitClick(); };
  // What the encoder here cannot do is shown off, with the reason as its hint.
  const auto unavailable = [](TKvCheckBox* C, bool Available, const char* Why) {
    if (Available) return;
    C->SetEnabled(false);
    C->SetHint(Why);
  };
  unavailable(ChkWMALL, WMALosslessAvailable, "Not available: this WMA encoder has no lossless mode");
  for (TKvCheckBox* C : {ChkWMABit, ChkWMA2Bit})
    unavailable(C, WMAVariableBitrateAvailable,
                "Not available: this WMA encoder has constant bitrates only");

  P = FPanels[3];
  MakeLabel(this, P, "LblWavSR", 8, 12, "Samplerate:");
  CmbWavSR = MakeCombo(this, P, "CmbWavSR", Bounds(110, 8, 90, 21),
                       {"48000", "44100", "40000", "32075", "32000", "24000", "22050", "16000", "11025", "8000",
                        "6000", "default"});
  CmbWavSR->OnClick = [this](TComponent*) { CmbWavSRClick(CmbWavSR); };
  MakeLabel(this, P, "LblWavSRh", 206, 12, "Hz");
  MakeLabel(this, P, "LblWavSS", 8, 40, "Sample size:");
  CmbWavSS = MakeCombo(this, P, "CmbWavSS", Bounds(110, 36, 90, 21), {"default", "8", "16", "24"});
  CmbWavSS->OnClick = [this](TComponent*) { CmbWavSSClick(); };
  MakeLabel(this, P, "LblWavSSb", 206, 40, "bit");
  MakeLabel(this, P, "LblWavEnc", 8, 68, "Encoding:");
  CmbWavEnc = MakeCombo(this, P, "CmbWavEnc", Bounds(110, 64, 150, 21), {"Standard (Raw PCM)", "DVI IMA ADPCM"});
  CmbWavEnc->OnClick = [this](TComponent*) { CmbWavEncClick(); };
  RdoWavMono = radio(P, "RdoWavMono", 8, 100, 64, "Mono");
  RdoWavStereo = radio(P, "RdoWavStereo", 80, 100, 70, "Stereo");
  stereoClick({RdoWavMono, RdoWavStereo});

  const TItems TwoEnds3 = {"0 (min. compression - fastest)", "1", "2 (max. compression - slowest)"};
  P = FPanels[4];
  MakeLabel(this, P, "LblWVCQ", 8, 12, "Compression level:");
  CmbWVCQ = MakeCombo(this, P, "CmbWVCQ", Bounds(8, 28, 252, 21), TwoEnds3);
  compClick(CmbWVCQ);
  RdoWVMono = radio(P, "RdoWVMono", 8, 64, 64, "Mono");
  RdoWVJoin = radio(P, "RdoWVJoin", 80, 64, 100, "Joint stereo");
  RdoWVStereo = radio(P, "RdoWVStereo", 190, 64, 70, "Stereo");
  stereoClick({RdoWVMono, RdoWVJoin, RdoWVStereo});

  P = FPanels[5];
  MakeLabel(this, P, "LbMACCQ", 8, 12, "Compression level:");
  CmbMACCQ = MakeCombo(this, P, "CmbMACCQ", Bounds(8, 28, 252, 21),
                       {"0 (min. compression - fastest)", "1", "2", "3 (max. compression - slowest)"});
  compClick(CmbMACCQ);
  RdoMACMono = radio(P, "RdoMACMono", 8, 64, 64, "Mono");
  RdoMACStereo = radio(P, "RdoMACStereo", 80, 64, 70, "Stereo");
  stereoClick({RdoMACMono, RdoMACStereo});

  P = FPanels[6];
  MakeLabel(this, P, "LblOGGCQ", 8, 12, "Compression level:");
  CmbOGGCQ = MakeCombo(this, P, "CmbOGGCQ", Bounds(8, 28, 252, 21),
                       {"0 (highest audio quality)", "1", "2", "3", "4", "5", "6", "7", "8", "9 (lowest audio quality)"});
  compClick(CmbOGGCQ);
  RdoOGGMono = radio(P, "RdoOGGMono", 8, 64, 64, "Mono");
  RdoOGGStereo = radio(P, "RdoOGGStereo", 80, 64, 70, "Stereo");
  stereoClick({RdoOGGMono, RdoOGGStereo});

  P = FPanels[7];
  MakeLabel(this, P, "LblFLCCQ", 8, 12, "Compression level:");
  CmbFLCCQ = MakeCombo(this, P, "CmbFLCCQ", Bounds(8, 28, 252, 21),
                       {"0 (min. compression - fastest)", "1", "2", "3", "4", "5", "6", "7",
                        "8 (max. compression - slowest)"});
  compClick(CmbFLCCQ);

  FPanels[8]->SetCaption("There are no properties for setting");

  P = FPanels[9];
  MakeLabel(this, P, "LblMPCSR", 8, 12, "Samplerate:");
  CmbMPCSR = MakeCombo(this, P, "CmbMPCSR", Bounds(130, 8, 90, 21), {"48000", "44100", "37800", "32000", "default"});
  CmbMPCSR->OnClick = [this](TComponent*) { CmbWavSRClick(CmbMPCSR); };
  MakeLabel(this, P, "LblMPCHz", 226, 12, "Hz");
  MakeLabel(this, P, "LblMPCCQ", 8, 40, "Compression quality:");
  CmbMPCCQ = MakeCombo(this, P, "CmbMPCCQ", Bounds(130, 36, 110, 21), Steps);
  compClick(CmbMPCCQ);
}

void TFrmMain::BuildBottom() {
  auto* bottom = MakeClearPanel(this, this, "PnlBottom", Bounds(6, 568, 582, 96));
  bottom->SetBorderOuter(fsFlat);
  const struct {
    const char* Name;
    int32_t X, Y;
    const char* Caption;
  } Labels[] = {{"LblCur", 8, 9, "Current:"},     {"LblTot", 8, 31, "Total:"},       {"LblElap", 8, 55, "Elapsed:"},
                {"LblElapT", 70, 55, "0:00:00"},  {"LblRem", 140, 55, "Remaining:"}, {"LblRemT", 212, 55, "0:00:00"},
                {"LblInfo", 8, 75, ""}};
  for (const auto& L : Labels) FRunLabels.push_back(MakeLabel(this, bottom, L.Name, L.X, L.Y, L.Caption));
  LblElapT = FRunLabels[3];
  LblRemT = FRunLabels[5];
  LblInfo = FRunLabels[6];
  for (TKvLabel* L : FRunLabels) L->SetEnabled(false);
  PrgCurrent = AddControl<TKvProgressBar>(this, bottom, "PrgCurrent", Bounds(70, 6, 300, 18));
  PrgTotal = AddControl<TKvProgressBar>(this, bottom, "PrgTotal", Bounds(70, 28, 300, 18));
  for (TKvProgressBar* Bar : {PrgCurrent, PrgTotal}) {
    Bar->SetBarStyle(bsGradient);
    Bar->SetTotalParts(100);
  }
  BtnConv = MakeButton(this, bottom, "BtnConv", Bounds(392, 6, 182, 34), "Convert");
  BtnConv->OnClick = [this](TComponent*) { BtnConvClick(); };
  BtnPause = MakeButton(this, bottom, "BtnPause", Bounds(392, 48, 88, 28), "Pause");
  BtnPause->OnClick = [this](TComponent*) { BtnPauseClick(); };
  BtnPause->SetEnabled(false);
  BtnAbort = MakeButton(this, bottom, "BtnAbort", Bounds(486, 48, 88, 28), "Abort");
  BtnAbort->OnClick = [this](TComponent*) { BtnAbortClick(); };
  BtnAbort->SetEnabled(false);
}

void TFrmMain::BuildMenu() {
  ToolMenu = MakeToolbar(this, this, "ToolMenu", Bounds(472, 8, 116, 96));
  ToolMenu->SetOrientation(orVertical);
  ToolMenu->SetButtonSize(112, 22, true);
  const struct {
    const char* Name;
    const char* Caption;
    std::function<void()> Click;
  } Entries[] = {{"BtnMAbout", "About ", [this] { BtnMAboutClick(); }},
                 {"BtnMHelp", "Help ", [] { Application->HelpContext(0); }},
                 {"BtnMNew", "New version ", [this] { BtnMNewClick(); }},
                 {"BtnMHome", "Homepage ", [this] { BtnMHomeClick(); }}};
  for (const auto& E : Entries) {
    auto* B = AddControl<TKvToolButton>(this, ToolMenu, E.Name, Bounds(0, 0, 112, 22));
    B->SetCaption(E.Caption);
    B->OnClick = [Click = E.Click](TComponent*) { Click(); };
  }
}

void TFrmMain::BuildHelpers() {
  DlgOpen = new TOpenDialog(this);
  DlgOpen->SetName("DlgOpen");
  DlgOpen->SetTitle("Add audio files");
  DlgOpen->SetOptions(ofAllowMultiSelect | ofHideReadOnly | ofShareAware | ofEnableSizing);
  DlgOpen->SetFilter(
      "All supported files|*.mp3;*.wma;*.wm;*.wav;*.wv;*.ogg;*.ape;*.flac;*.tta;*.mpc;*.avi|MP3 files "
      "(*.mp3)|*.mp3|Windows Media Audio files (*.wma;*.wm)|*.wma;*.wm|Microsoft Wave (*.wav)|*.wav|WavPack "
      "(*.wv)|*.wv|Ogg Vorbis (*.ogg)|*.ogg|Monkey's Audio (*.ape)|*.ape|FLAC (*.flac)|*.flac|True Audio "
      "(*.tta)|*.tta|Musepack (*.mpc)|*.mpc|Video files (*.avi)|*.avi");

  BuildDropTarget(LstConv);
  FAudioOut = new TDXAudioOut(this);
  FAudioOut->SetName("AudioOut");
  CDPlayer = new TCDPlayer(this);
  CDPlayer->SetName("CDPlayer");
  WaveIn = new TWaveIn(this);
  WaveIn->SetName("WaveIn");
  TmrPos = new TTimer(this);
  TmrPos->SetName("TmrPos");
  TmrPos->SetEnabled(false);
  TmrPos->OnTimer = [this](TComponent*) { TmrPosTimer(); };
  // Lists the tracks of a disc inserted after the drive was chosen.
  TmrCD = new TTimer(this);
  TmrCD->SetName("TmrCD");
  TmrCD->SetInterval(3000);
  TmrCD->SetEnabled(false);
  TmrCD->OnTimer = [this](TComponent*) { TmrCDTimer(); };
}
