// Gallery pages of the buttons: push buttons, bitmap buttons, check boxes and radio
// buttons, each family once in the classic look and once in the hot-track look.
#include <string>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"
#include "tests/gallery/Gallery.h"
#include "widgets/KvButton.h"
#include "widgets/KvRadChk.h"

namespace {

template <class T>
T* Make(TWinControl* Parent, const std::string& Caption, TRect Bounds, bool HotTrack) {
  auto* C = new T(Parent);
  C->SetParent(Parent);
  C->SetBoundsRect(Bounds);
  C->SetCaption(Caption);
  C->SetHotTrack(HotTrack);
  return C;
}

void BuildPushButtons(TForm* Form, bool HotTrack) {
  Form->SetColor(clBtnFace);
  auto Button = [&](const std::string& Caption, int32_t Col, int32_t Row) {
    return Make<TKvButton>(Form, Caption, Bounds(10 + Col * 115, 10 + Row * 36, 105, 27), HotTrack);
  };
  Button("Normal", 0, 0);
  Button("Default", 1, 0)->SetDefault(true);
  Button("Disabled", 2, 0)->SetEnabled(false);
  Button("Under the mouse", 3, 0)->Perform(CM_MOUSEENTER);
  // A group of three latched buttons, one down, with and without the pattern.
  for (int32_t I = 0; I < 3; ++I) {
    TKvButton* B = Button("Group " + std::to_string(I + 1), I, 1);
    B->SetGroupIndex(1);
    B->SetDown(I == 1);
  }
  TKvButton* Plain = Button("Down, no pattern", 3, 1);
  Plain->SetGroupIndex(2);
  Plain->SetDown(true);
  Plain->SetShowDownPattern(false);
  // Colours and alignments.
  const TColor Colors[] = {clSilver, clSkyBlue, clMoneyGreen, RGB(250, 200, 160)};
  for (int32_t I = 0; I < 4; ++I) {
    TKvButton* B = Button(I == 0 ? "Silver" : "Coloured", I, 2);
    B->SetColor(Colors[I]);
    if (I == 0) {
      B->SetGroupIndex(3);
      B->SetDown(true);
    }
  }
  Button("Left", 0, 3)->SetAlignment(taLeftJustify);
  Button("Right", 1, 3)->SetAlignment(taRightJustify);
  TKvButton* Top = Button("Top", 2, 3);
  Top->SetAlignmentVertical(avTop);
  TKvButton* Wrapped = Button("A caption that wraps", 3, 3);
  Wrapped->SetHeight(34);
  // Text styles.
  const TTextStyle Styles[] = {tsRaised, tsRecessed, tsShadow, tsShadow};
  const char* Names[] = {"Raised", "Recessed", "Shadow", "Shadow right"};
  for (int32_t I = 0; I < 4; ++I) {
    TKvButton* B = Button(Names[I], I, 5);
    B->Font()->SetHeight(-14);
    B->Font()->SetStyle(fsBold);
    B->SetTextStyle(Styles[I]);
    if (I == 3) B->SetAlignment(taRightJustify);
  }
  TKvButton* Light = Button("Light raised", 0, 6);
  Light->SetTextStyle(tsRaised);
  Light->SetLightTextStyle(true);
  Light->Font()->SetColor(clNavy);
  TKvButton* Complement = Button("Complement hot", 1, 6);
  Complement->SetHotTrackColorType(htctComplement);
  Complement->Perform(CM_MOUSEENTER);
  TKvButton* Framed = Button("Frame colour", 2, 6);
  Framed->SetFrameColor(clNavy);
}

TGalleryPage PushClassic("kv-button-classic", [](TForm* Form) { BuildPushButtons(Form, false); });
TGalleryPage PushHotTrack("kv-button-hottrack", [](TForm* Form) { BuildPushButtons(Form, true); });

// A 2-cell strip (normal, disabled) of a filled square with a frame, for custom glyphs.
void MakeSquareGlyph(TBitmap& Glyph, int32_t Cells, int32_t Size) {
  Glyph.SetSize(Cells * Size, Size);
  TCanvas* C = Glyph.Canvas();
  C->Brush()->SetColor(clOlive);
  C->FillRect(Rect(0, 0, Cells * Size, Size));
  const TColor Faces[] = {RGB(40, 120, 220), clGray, RGB(220, 120, 40), RGB(40, 180, 80)};
  for (int32_t I = 0; I < Cells; ++I) {
    C->Brush()->SetColor(clNavy);
    C->FillRect(Bounds(I * Size + 2, 2, Size - 4, Size - 4));
    C->Brush()->SetColor(Faces[I % 4]);
    C->FillRect(Bounds(I * Size + 3, 3, Size - 6, Size - 6));
  }
}

void BuildBitmapButtons(TForm* Form, bool HotTrack) {
  Form->SetColor(clBtnFace);
  // Every stock kind, enabled and disabled.
  for (int32_t K = bkOK; K <= bkAll; ++K) {
    const int32_t Col = (K - 1) % 5, Row = (K - 1) / 5;
    for (int32_t Disabled = 0; Disabled < 2; ++Disabled) {
      auto* B = Make<TKvBitBtn>(Form, "", Bounds(10 + Col * 92, 10 + (Row + 2 * Disabled) * 32, 86, 26), HotTrack);
      B->SetKind(TBitBtnKind(K));
      B->SetThemeAware(false);
      B->SetEnabled(Disabled == 0);
    }
  }
  // Layouts and margins with a glyph of our own (four cells).
  TBitmap Glyph;
  MakeSquareGlyph(Glyph, 4, 16);
  const TButtonLayout Layouts[] = {blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom};
  const char* Names[] = {"Left", "Right", "Top", "Bottom"};
  for (int32_t I = 0; I < 4; ++I) {
    auto* B = Make<TKvBitBtn>(Form, Names[I], Bounds(10 + I * 92, 150, 86, I < 2 ? 26 : 44), HotTrack);
    B->SetGlyph(&Glyph);
    B->SetLayout(Layouts[I]);
    auto* Centred = Make<TKvBitBtn>(Form, "Centred", Bounds(10 + I * 92, 200, 86, I < 2 ? 26 : 44), HotTrack);
    Centred->SetGlyph(&Glyph);
    Centred->SetLayout(Layouts[I]);
    Centred->SetMargin(-1);
  }
  auto* Down = Make<TKvBitBtn>(Form, "Down cell", Bounds(378, 150, 92, 26), HotTrack);
  Down->SetGlyph(&Glyph);
  Down->SetGroupIndex(1);
  Down->SetDown(true);
  // Images from a list, the disabled one greyed by the list.
  auto* List = new TImageList(Form);
  TBitmap Strip;
  MakeSquareGlyph(Strip, 2, 16);
  List->AddMasked(&Strip, clOlive);
  auto* FromList = Make<TKvBitBtn>(Form, "Image list", Bounds(10, 256, 110, 26), HotTrack);
  FromList->SetImages(List);
  FromList->SetImageIndex(0);
  auto* Greyed = Make<TKvBitBtn>(Form, "Greyed", Bounds(130, 256, 110, 26), HotTrack);
  Greyed->SetImages(List);
  Greyed->SetImageIndex(0);
  Greyed->SetEnabled(false);
  auto* Own = Make<TKvBitBtn>(Form, "Own disabled", Bounds(250, 256, 110, 26), HotTrack);
  Own->SetImages(List);
  Own->SetImageIndex(0);
  Own->SetDisabledIndex(1);
  Own->SetEnabled(false);
}

TGalleryPage BitBtnClassic("kv-bitbtn-classic", [](TForm* Form) { BuildBitmapButtons(Form, false); });
TGalleryPage BitBtnHotTrack("kv-bitbtn-hottrack", [](TForm* Form) { BuildBitmapButtons(Form, true); });

void BuildChecks(TForm* Form, bool HotTrack) {
  Form->SetColor(clBtnFace);
  const char* States[] = {"Unchecked", "Checked", "Grayed"};
  for (int32_t S = 0; S < 3; ++S) {
    for (int32_t Variant = 0; Variant < 3; ++Variant) {
      auto* C = Make<TKvCheckBox>(Form, States[S], Bounds(10 + Variant * 150, 10 + S * 22, 140, 17), HotTrack);
      C->SetAllowGrayed(true);
      C->SetState(TCheckBoxState(S));
      if (Variant == 1) C->SetEnabled(false);
      if (Variant == 2) {
        C->SetReadOnly(true);
        C->SetReadOnlyColor(clInfoBk);
        C->Perform(CM_MOUSEENTER);
      }
    }
  }
  // Radio buttons: a group on the form, a disabled pair, and transparent ones on a panel.
  for (int32_t I = 0; I < 3; ++I) {
    auto* R = Make<TKvRadioButton>(Form, "Radio " + std::to_string(I + 1), Bounds(10, 90 + I * 22, 140, 17), HotTrack);
    R->SetChecked(I == 1);
    if (I == 2) R->Perform(CM_MOUSEENTER);
  }
  auto* Panel = new TPanel(Form);
  Panel->SetParent(Form);
  Panel->SetBounds(160, 86, 300, 76);
  Panel->SetColor(RGB(120, 170, 230));
  for (int32_t I = 0; I < 2; ++I) {
    auto* R = Make<TKvRadioButton>(Panel, I ? "Transparent, checked" : "Transparent", Bounds(8, 6 + I * 22, 150, 17),
                                   HotTrack);
    R->SetTransparent(true);
    R->SetChecked(I == 1);
    auto* Off = Make<TKvRadioButton>(Panel, I ? "Disabled, checked" : "Disabled", Bounds(150, 6 + I * 22, 140, 17),
                                     HotTrack);
    Off->SetEnabled(false);
    Off->SetChecked(I == 1);
  }
  auto* Clear = Make<TKvCheckBox>(Panel, "Transparent check box", Bounds(8, 52, 200, 17), HotTrack);
  Clear->SetTransparent(true);
  Clear->SetChecked(true);
  // Caption on the left, and a caption that wraps.
  auto* Left = Make<TKvCheckBox>(Form, "Caption left", Bounds(10, 176, 140, 17), HotTrack);
  Left->SetAlignment(taLeftJustify);
  Left->SetChecked(true);
  auto* Wrap = Make<TKvCheckBox>(Form, "A longer caption that wraps onto a second line", Bounds(160, 172, 180, 30),
                                 HotTrack);
  Wrap->SetAlignmentVertical(avCenter);
  // Glyphs of the program's own: a strip of nine cells.
  TBitmap Strip;
  MakeSquareGlyph(Strip, 9, 14);
  auto* Custom = Make<TKvCheckBox>(Form, "Own glyphs", Bounds(10, 212, 140, 17), HotTrack);
  Custom->SetCustomGlyphs(&Strip);
  Custom->SetChecked(true);
  auto* Styled = Make<TKvCheckBox>(Form, "Raised caption", Bounds(160, 212, 140, 17), HotTrack);
  Styled->SetTextStyle(tsRaised);
}

TGalleryPage ChecksClassic("kv-radchk-classic", [](TForm* Form) { BuildChecks(Form, false); });
TGalleryPage ChecksHotTrack("kv-radchk-hottrack", [](TForm* Form) { BuildChecks(Form, true); });

}  // namespace
