#include "widgets/KvBtnEdt.h"

#include <array>
#include <memory>
#include <utility>

#include "widgets/KvGrafx.h"

// ---------------------------------------------------------------------------
// Stock glyphs

namespace {

constexpr int32_t GlyphCell = 9;
constexpr int32_t ButtonWidthDefault = 17;
// The margin between the text and the buttons.
constexpr int32_t TextGap = 2;

void Line(TCanvas* C, TColor Color, std::initializer_list<TPoint> Points) {
  C->Pen()->SetColor(Color);
  C->Pen()->SetWidth(1);
  C->Polyline(Points);
}

// A lens with its handle towards the bottom right (Dx 1) or the bottom left (Dx -1).
void Magnifier(TCanvas* C, TColor Color, int32_t Dx) {
  const int32_t X0 = Dx > 0 ? 0 : 3;
  Line(C, Color,
       {{X0 + 1, 0}, {X0 + 4, 0}, {X0 + 5, 1}, {X0 + 5, 4}, {X0 + 4, 5}, {X0 + 1, 5}, {X0, 4}, {X0, 1}, {X0 + 1, 0}});
  const int32_t Hx = Dx > 0 ? X0 + 5 : X0;
  Line(C, Color, {{Hx, 5}, {Hx + 3 * Dx, 8}});
  Line(C, Color, {{Hx + Dx, 5}, {Hx + 3 * Dx, 7}});
}

// The pictures, drawn in a GlyphCell square.
void DrawPicture(TCanvas* C, TButtonKind Kind) {
  switch (Kind) {
    case bkLookup:
      for (int32_t X : {1, 4, 7}) FillSolidRect(C, Rect(X, 6, X + 2, 8), clBlack);
      break;
    case bkCalendar:
      FillSolidRect(C, Rect(0, 1, 9, 8), clWhite);
      FillSolidRect(C, Rect(0, 1, 9, 3), clNavy);
      C->Brush()->SetColor(clBlack);
      C->FrameRect(Rect(0, 1, 9, 8));
      for (int32_t X : {2, 4, 6}) C->SetPixel(X, 5, clBlack);
      break;
    case bkAccept:
      Line(C, RGB(0, 128, 0), {{1, 4}, {3, 6}, {8, 1}});
      Line(C, RGB(0, 128, 0), {{1, 5}, {3, 7}, {8, 2}});
      break;
    case bkReject:
      Line(C, clMaroon, {{1, 1}, {8, 8}});
      Line(C, clMaroon, {{2, 1}, {8, 7}});
      Line(C, clMaroon, {{7, 1}, {0, 8}});
      Line(C, clMaroon, {{8, 1}, {1, 8}});
      break;
    case bkFolder:
      FillSolidRect(C, Rect(0, 2, 9, 8), RGB(240, 200, 80));
      FillSolidRect(C, Rect(0, 1, 4, 2), RGB(160, 110, 20));
      C->Brush()->SetColor(RGB(160, 110, 20));
      C->FrameRect(Rect(0, 2, 9, 8));
      break;
    case bkFind: Magnifier(C, clBlack, 1); break;
    case bkSearch: Magnifier(C, clNavy, -1); break;
    default: break;
  }
}

std::unique_ptr<TBitmap> MakeGlyph(TButtonKind Kind) {
  auto Glyph = std::make_unique<TBitmap>(2 * GlyphCell, GlyphCell);
  TCanvas* C = Glyph->Canvas();
  // The bottom-left pixel, never drawn on, gives the transparent colour.
  constexpr TColor Transparent = clFuchsia;
  FillSolidRect(C, Rect(0, 0, 2 * GlyphCell, GlyphCell), Transparent);
  DrawPicture(C, Kind);
  EmbossDisabledCell(Glyph.get(), GlyphCell);
  return Glyph;
}

}  // namespace

const TBitmap* ButtonEditGlyph(TButtonKind Kind) {
  static std::array<std::unique_ptr<TBitmap>, bkSearch + 1> Cache;
  std::unique_ptr<TBitmap>& Glyph = Cache.at(Kind);
  if (!Glyph) Glyph = Kind == KvBtnEdt::bkCustom || Kind == bkDropDown ? std::make_unique<TBitmap>() : MakeGlyph(Kind);
  return Glyph.get();
}

// ---------------------------------------------------------------------------
// TKvButtonPair

TKvButtonPair::TKvButtonPair(TComponent* AOwner)
    : TKvButtonHolder(AOwner), FAltBtn(CreateButton()), FMainBtn(CreateButton()) {
  for (TKvControlButton* B : {FAltBtn, FMainBtn}) B->SetWidth(ButtonWidthDefault);
  FAltBtn->SetVisible(false);
  SetBounds(Left(), Top(), 34, 21);
}

void TKvButtonPair::ButtonClick(TKvControlButton* Sender) {
  const TNotifyEvent& Event = Sender == FMainBtn ? OnButtonClick : OnAltBtnClick;
  if (Event) Event(this);
}

// ---------------------------------------------------------------------------
// TKvCustomButtonEdit

TKvCustomButtonEdit::TKvCustomButtonEdit(TComponent* AOwner)
    : TKvCustomEdit(AOwner), FButtons(new TKvButtonPair(this)) {
  FButtons->SetParent(this);
  FButtons->SetBounds(0, 0, 17, 10);
  FButtons->SetFocusControl(this);
  FButtons->OnButtonClick = [this](TComponent*) { ButtonClick(); };
  FButtons->OnAltBtnClick = [this](TComponent*) { AltBtnClick(); };
  SetControlStyle(ControlStyle() & ~csSetCaption);
  SetWidth(121);
  SetBtnKind(Alt, bkLookup);
  SetBtnKind(Main, bkLookup);
  UpdatePairColor();
  PlaceButtons();
}

void TKvCustomButtonEdit::Loaded() {
  TKvCustomEdit::Loaded();
  ApplyKind(Alt);
  ApplyKind(Main);
  PlaceButtons();
}

void TKvCustomButtonEdit::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  TKvCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
  PlaceButtons();
}

// ---------------------------------------------------------------------------
// Buttons

void TKvCustomButtonEdit::SetBtnKind(TWhich Which, TButtonKind Value) {
  if (Value == FKinds[Which]) return;
  FKinds[Which] = Value;
  if (!Loading()) ApplyKind(Which);
}

void TKvCustomButtonEdit::ApplyKind(TWhich Which) {
  TKvControlButton* B = Button(Which);
  switch (FKinds[Which]) {
    case KvBtnEdt::bkCustom: return;
    case bkDropDown:
      B->SetGlyph(nullptr);
      B->SetStyle(cbsDropDown);
      return;
    default:
      B->SetGlyph(ButtonEditGlyph(FKinds[Which]));
      B->SetNumGlyphs(2);
      B->SetStyle(cbsNone);
  }
}

void TKvCustomButtonEdit::SetBtnGlyph(TWhich Which, const TBitmap* Value) {
  TKvControlButton* B = Button(Which);
  B->SetGlyph(Value);
  B->SetStyle(cbsNone);
  FKinds[Which] = KvBtnEdt::bkCustom;
}

void TKvCustomButtonEdit::SetBtnVisible(TWhich Which, bool Value) {
  if (Value == Button(Which)->Visible()) return;
  Button(Which)->SetVisible(Value);
  PlaceButtons();
}

void TKvCustomButtonEdit::SetBtnWidth(TWhich Which, int32_t Value) {
  if (Value == Button(Which)->Width()) return;
  Button(Which)->SetWidth(std::max(Value, 0));
  PlaceButtons();
}

void TKvCustomButtonEdit::SetFlatButtons(bool Value) {
  if (Value == FButtons->Flat()) return;
  FButtons->SetFlat(Value);
  UpdatePairColor();
  PlaceButtons();
}

void TKvCustomButtonEdit::SetFlatButtonColor(TColor Value) {
  if (Value == FFlatButtonColor) return;
  FFlatButtonColor = Value;
  UpdatePairColor();
}

void TKvCustomButtonEdit::SetHideButtonsOnReadOnly(bool Value) {
  if (Value == FHideButtonsOnReadOnly) return;
  FHideButtonsOnReadOnly = Value;
  PlaceButtons();
}

void TKvCustomButtonEdit::UpdatePairColor() {
  if (!FButtons) return;
  const bool Raised = FButtons->Flat() && (HotState() || FocusedState());
  FButtons->SetColor(Raised ? FFlatButtonColor : Color());
}

void TKvCustomButtonEdit::PlaceButtons() {
  if (Loading() || !FButtons) return;
  // Room for the font first; the resize places the buttons.
  if (const int32_t Needed = FontLineHeight(Font()); Needed > Height()) return SetHeight(Needed);
  TKvControlButton* MainBtn = Button(Main);
  TKvControlButton* AltBtn = Button(Alt);
  const int32_t MainWidth = MainBtn->Visible() ? MainBtn->Width() : 0;
  const int32_t PairWidth = MainWidth + (AltBtn->Visible() ? AltBtn->Width() : 0);
  const bool RightToLeft = UseRightToLeftAlignment();
  TPoint At{0, 0};
  if (!RightToLeft)
    At = FrameVisible() || Ctl3D() ? TPoint{Width() - PairWidth - 4, 0} : TPoint{Width() - PairWidth - 1, 1};
  // Buttons four pixels lower than the edit, the pair one more where the client area
  // has room for it.
  const int32_t ButtonHeight = Height() - 4;
  FButtons->SetBounds(At.X, At.Y, PairWidth, std::min(Height() - 3, ClientHeight() - At.Y));
  MainBtn->SetBounds(0, 0, MainBtn->Width(), ButtonHeight);
  AltBtn->SetBounds(MainWidth, 0, AltBtn->Width(), ButtonHeight);
  FButtons->SetVisible(!ButtonsHidden());
  if (ButtonsHidden())
    SetMargins(0, 0);
  else if (RightToLeft)
    SetMargins(PairWidth + TextGap, 0);
  else
    SetMargins(0, PairWidth + TextGap);
  Invalidate();
}

void TKvCustomButtonEdit::ButtonClick() {
  if (OnButtonClick) OnButtonClick(this);
}

void TKvCustomButtonEdit::AltBtnClick() {
  if (OnAltBtnClick) OnAltBtnClick(this);
}

// ---------------------------------------------------------------------------
// States

void TKvCustomButtonEdit::Notification(TComponent* AComponent, TOperation Operation) {
  TKvCustomEdit::Notification(AComponent, Operation);
  // The pair goes first when the edit is freed; what the edit hears afterwards (the
  // mouse leaving it) must not reach for it.
  if (Operation == opRemove && AComponent == FButtons) FButtons = nullptr;
}

void TKvCustomButtonEdit::ReadOnlyChanged() {
  TKvCustomEdit::ReadOnlyChanged();
  PlaceButtons();
}

void TKvCustomButtonEdit::FrameVisibleChanged() {
  TKvCustomEdit::FrameVisibleChanged();
  PlaceButtons();
}

void TKvCustomButtonEdit::BorderChanged() {
  TKvCustomEdit::BorderChanged();
  PlaceButtons();
}

void TKvCustomButtonEdit::SetFrameState(TKvFrameState Which, bool Value) {
  TKvCustomEdit::SetFrameState(Which, Value);
  UpdatePairColor();
}

void TKvCustomButtonEdit::CMColorChanged() {
  TKvCustomEdit::CMColorChanged();
  UpdatePairColor();
}

void TKvCustomButtonEdit::CMEnabledChanged() {
  TKvCustomEdit::CMEnabledChanged();
  if (FButtons) FButtons->SetEnabled(Enabled());
}

void TKvCustomButtonEdit::CMFontChanged() {
  TKvCustomEdit::CMFontChanged();
  PlaceButtons();
}

// ---------------------------------------------------------------------------
// Keys

void TKvCustomButtonEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TKvCustomEdit::KeyDown(Key, Shift);
  FShortCutUsed = false;
  FCommandKey = (Shift & (ssCtrl | ssAlt)) == ssCtrl;
  if (Key == 0) return;
  if (Key == VK_DELETE && !FAllowKeyEdit) {
    Key = 0;
    return Beep();
  }
  // A hidden button has no shortcut.
  const TShortCut Pressed = ShortCut(Key, Shift);
  const auto Clickable = [this](TWhich Which) {
    return FButtons && FButtons->Visible() && Button(Which)->Visible() && Button(Which)->Enabled() &&
           FShortCuts[Which] != 0;
  };
  if (Clickable(Main) && Pressed == FShortCuts[Main]) {
    Key = 0;
    FShortCutUsed = true;
    ButtonClick();
  } else if (Clickable(Alt) && Pressed == FShortCuts[Alt]) {
    Key = 0;
    FShortCutUsed = true;
    AltBtnClick();
  }
}

void TKvCustomButtonEdit::KeyPress(char32_t& Key) {
  if (std::exchange(FShortCutUsed, false)) {
    Key = 0;
    return;
  }
  TKvCustomEdit::KeyPress(Key);
  // Backspace and printable characters; not the characters of Ctrl chords (commands
  // such as Ctrl+V, which go their own way) nor Delete's (refused as its key).
  const bool Typed = Key == U'\b' || (Key >= U' ' && Key != 0x7F && !std::exchange(FCommandKey, false));
  if (!FAllowKeyEdit && Typed) {
    Key = 0;
    Beep();
  }
}

void TKvCustomButtonEdit::WMCut() {
  if (TextEditable()) TKvCustomEdit::WMCut();
}

void TKvCustomButtonEdit::WMPaste() {
  if (TextEditable()) TKvCustomEdit::WMPaste();
}

void TKvCustomButtonEdit::WMClear() {
  if (TextEditable()) TKvCustomEdit::WMClear();
}

void TKvCustomButtonEdit::WMUndo() {
  if (TextEditable()) TKvCustomEdit::WMUndo();
}
