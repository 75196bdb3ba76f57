#include "widgets/KvRadChk.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>

#include "platform/rtl/StrUtils.h"
#include "widgets/KvGrafx.h"

namespace {

constexpr int32_t StandardGlyphSize = 13;
constexpr int32_t RadioCells = 6;
constexpr int32_t CheckBoxCells = 9;
// The glyph's distance from the top or bottom edge, and the gap beside the caption.
constexpr int32_t GlyphEdge = 2;
constexpr int32_t CaptionGap = 4;
// The focus rectangle reaches this far past the caption's text.
constexpr int32_t FocusSlack = 3;

// The classic sunken box: outer edge shadow over highlight, inner edge dark shadow over
// light, the inside in the window colour (the face colour while pushed, disabled or
// grayed), and the tick.
void PaintClassicCheckBox(TCanvas* Canvas, TCheckBoxState State, bool Pushed, bool Inactive) {
  TRect R = Rect(0, 0, StandardGlyphSize, StandardGlyphSize);
  R = PaintRectSides(Canvas, R, clBtnShadow, sdsAll, clBtnHighlight);
  R = PaintRectSides(Canvas, R, cl3DDkShadow, sdsAll, cl3DLight);
  FillSolidRect(Canvas, R, Pushed || Inactive || State == cbGrayed ? clBtnFace : clWindow);
  if (State == cbUnchecked) return;
  // Seven columns of three pixels, down to the third, then up.
  static constexpr int32_t FirstRow[] = {5, 6, 7, 6, 5, 4, 3};
  const TColor Mark = Inactive || State == cbGrayed ? clBtnShadow : clWindowText;
  for (int32_t I = 0; I < 7; ++I) FillSolidRect(Canvas, Bounds(3 + I, FirstRow[I], 1, 3), Mark);
}

// The classic sunken circle on the 13 x 13 cell, by each pixel's squared distance from
// the centre: the dot, the inside, the inner edge (dark shadow over light), the outer
// edge (shadow over highlight); what lies beyond stays as it is.
void PaintClassicRadio(TCanvas* Canvas, bool Checked, bool Pushed, bool Inactive) {
  constexpr int32_t Center = StandardGlyphSize / 2;
  constexpr int32_t Dot = 5, Inside = 24, InnerEdge = 29, OuterEdge = 41;
  const TColor Fill = Pushed || Inactive ? clBtnFace : clWindow;
  for (int32_t Y = 0; Y < StandardGlyphSize; ++Y)
    for (int32_t X = 0; X < StandardGlyphSize; ++X) {
      const int32_t D = (X - Center) * (X - Center) + (Y - Center) * (Y - Center);
      const bool UpperLeft = X + Y < 2 * Center;
      TColor C;
      if (Checked && D <= Dot)
        C = Inactive ? clBtnShadow : clWindowText;
      else if (D <= Inside)
        C = Fill;
      else if (D <= InnerEdge)
        C = UpperLeft ? cl3DDkShadow : cl3DLight;
      else if (D <= OuterEdge)
        C = UpperLeft || X + Y == 2 * Center ? clBtnShadow : clBtnHighlight;
      else
        continue;
      Canvas->SetPixel(X, Y, C);
    }
}

void ReplaceColor(TBitmap* Bitmap, TColor From, TColor To) {
  const TColor F = ColorToRGB(From);
  TCanvas* C = Bitmap->Canvas();
  for (int32_t Y = 0; Y < Bitmap->Height(); ++Y)
    for (int32_t X = 0; X < Bitmap->Width(); ++X)
      if (C->Pixels(X, Y) == F) C->SetPixel(X, Y, To);
}

}  // namespace

// ---------------------------------------------------------------------------
// TKvCustomGlyphButton

TKvCustomGlyphButton::TKvCustomGlyphButton(TComponent* AOwner, int32_t GlyphCells)
    : TKvCustomButton(AOwner), FGlyphCells(GlyphCells), FCustomGlyphs(std::make_unique<TBitmap>()),
      FBackground(std::make_unique<TBitmap>()) {
  FBackground->SetPixelFormat(pf32bit);
  FCustomGlyphs->OnChange = [this](TComponent*) {
    FUseCustomGlyphs = !FCustomGlyphs->Empty();
    FBackgroundDirty = true;
    Invalidate();
  };
}

TKvCustomGlyphButton::~TKvCustomGlyphButton() = default;

void TKvCustomGlyphButton::SetAlignment(TAlignment Value) {
  if (Value == taLeftJustify || Value == taRightJustify) Change(FAlignment, Value);
}

void TKvCustomGlyphButton::SetCustomGlyphs(const TBitmap* Value) {
  if (Value) {
    FCustomGlyphs->Assign(*Value);
  } else {
    const TBitmap Empty;
    FCustomGlyphs->Assign(Empty);
  }
}

void TKvCustomGlyphButton::SetUseCustomGlyphs(bool Value) { Change(FUseCustomGlyphs, Value); }
void TKvCustomGlyphButton::SetFillColor(TColor Value) { Change(FFillColor, Value); }
void TKvCustomGlyphButton::SetFocusColor(TColor Value) { Change(FFocusColor, Value); }
void TKvCustomGlyphButton::SetFrameColor(TColor Value) { Change(FFrameColor, Value); }
void TKvCustomGlyphButton::SetDisabledColor(TColor Value) { Change(FDisabledColor, Value); }
void TKvCustomGlyphButton::SetReadOnlyColor(TColor Value) { Change(FReadOnlyColor, Value); }
void TKvCustomGlyphButton::SetReadOnly(bool Value) { Change(FReadOnly, Value); }
void TKvCustomGlyphButton::SetTransparentColor(TColor Value) { Change(FTransparentColor, Value); }
void TKvCustomGlyphButton::SetWinMaskColor(TColor Value) { Change(FWinMaskColor, Value); }

void TKvCustomGlyphButton::SetTransparent(bool Value) {
  FBackgroundDirty = true;
  TKvCustomButton::SetTransparent(Value);
}

void TKvCustomGlyphButton::FrameControllerChanged() {
  TKvFrameController* F = FFrameLink.VisibleFrame();
  if (!F) return;
  SetHotTrack(true);
  if (FFrameLink.Admits(fcpColor)) FFillColor = F->Color();
  if (FFrameLink.Admits(fcpFrameColor)) FFrameColor = F->FrameColor();
  if (FFrameLink.Admits(fcpFocusColor)) FFocusColor = F->FocusColor();
  if (FFrameLink.Admits(fcpDisabledColor)) FDisabledColor = F->DisabledColor();
  if (FFrameLink.Admits(fcpReadOnlyColor)) FReadOnlyColor = F->ReadOnlyColor();
  if (FFrameLink.Admits(fcpReadOnlyColorOnFocus)) FReadOnlyColorOnFocus = F->ReadOnlyColorOnFocus();
  if (FFrameLink.Admits(fcpFrameHotTrack)) FHotTrackStyle = F->FrameHotTrack() ? htsFrame : htsInterior;
  if (FFrameLink.Admits(fcpFrameHotColor) && FHotTrackStyle == htsFrame) SetHotTrackColor(F->FrameHotColor());
  Invalidate();
}

void TKvCustomGlyphButton::WndProc(TMessage& Message) {
  if (Message.Msg == BM_GETCHECK) {
    Message.Result = GetChecked() ? 1 : 0;
    return;
  }
  TKvCustomButton::WndProc(Message);
}

void TKvCustomGlyphButton::Notification(TComponent* AComponent, TOperation Operation) {
  TKvCustomButton::Notification(AComponent, Operation);
  FFrameLink.Notification(AComponent, Operation);
}

TSize TKvCustomGlyphButton::GlyphSize() const {
  if (FUseCustomGlyphs && !FCustomGlyphs->Empty())
    return {FCustomGlyphs->Width() / FGlyphCells, FCustomGlyphs->Height()};
  return {StandardGlyphSize, StandardGlyphSize};
}

bool TKvCustomGlyphButton::CaptionOnRight() const {
  return (FAlignment == taRightJustify) != UseRightToLeftAlignment();
}

TRect TKvCustomGlyphButton::GlyphRect() const {
  const TSize S = GlyphSize();
  const int32_t X = CaptionOnRight() ? 0 : Width() - S.cx;
  int32_t Y = GlyphEdge;
  if (AlignmentVertical() == avCenter)
    Y = (Height() - S.cy) / 2;
  else if (AlignmentVertical() == avBottom)
    Y = Height() - S.cy - GlyphEdge;
  return Bounds(X, Y, S.cx, S.cy);
}

TGlyphColors TKvCustomGlyphButton::GlyphColors() const {
  TGlyphColors C;
  C.AlternateFill = FReadOnlyColor;
  C.Flag1 = FReadOnlyColorOnFocus;
  C.Flag2 = FReadOnly;
  if (HotTrackColorType() == htctActual) {
    C.Hot1 = HotTrackColor();
    C.Hot2 = MixColors(clWhite, HotTrackColor(), 190);
  } else {
    C.Hot2 = OppositeHueColor(HotTrackColor(), 180);
    C.Hot1 = DimColor(C.Hot2, 30);
  }
  C.DisabledFill = FDisabledColor;
  C.FocusedFill = FFocusColor;
  C.UnfocusedFill = FFillColor;
  C.Mark = HighlightColor();
  C.Frame = FFrameColor;
  C.HotStyle = FHotTrackStyle == htsFrame ? 1 : 0;
  C.Focused = Focused();
  return C;
}

TGlyphDrawState TKvCustomGlyphButton::GlyphDrawState() const {
  if (!Enabled()) return gdsDisabled;
  if (FPressed) return gdsDown;
  return FMouseOver ? gdsHot : gdsNormal;
}

void TKvCustomGlyphButton::ExtractGlyph(int32_t Index, TBitmap* Dest, int32_t Width, int32_t Height,
                                        const TBitmap* Strip) {
  Dest->SetSize(Width, Height);
  const TRect Cell = Rect(Index * Width, 0, (Index + 1) * Width, Height);
  Dest->Canvas()->CopyImage(Rect(0, 0, Width, Height), Strip->Image(), Cell);
}

void TKvCustomGlyphButton::DrawGlyph(TCanvas* Canvas) {
  const TSize S = GlyphSize();
  const TRect Where = GlyphRect();
  const TRect Cell = Rect(0, 0, S.cx, S.cy);
  TBitmap Glyph(S.cx, S.cy);
  GetGlyphImage(&Glyph);
  TBitmap Work;
  Work.SetPixelFormat(pf32bit);
  Work.SetSize(S.cx, S.cy);
  // The glyph over what lies under it, or over the button's colour.
  if (Transparent())
    Work.Canvas()->CopyRect(Cell, Canvas, Where);
  else
    FillSolidRect(Work.Canvas(), Cell, Color());
  StretchDrawMasked(Work.Canvas(), &Glyph, Cell, FTransparentColor, Cell);
  if (FUseCustomGlyphs) ReplaceColor(&Work, FWinMaskColor, clWindow);
  if (Transparent()) BlendGlyphEdges(&Work);
  Canvas->CopyRect(Where, Work.Canvas(), Cell);
}

void TKvCustomGlyphButton::Paint() {
  if (Destroying()) return;
  const TRect Client = ClientRect();
  if (IsRectEmpty(Client)) return;
  if (FBackgroundDirty) {
    FBackground->SetSize(Client.Width(), Client.Height());
    if (Transparent())
      FBackground->Canvas()->CopyRect(Client, Canvas(), Client);
    else
      FillSolidRect(FBackground->Canvas(), Client, Color());
    FBackgroundDirty = false;
  }
  TBitmap Work;
  Work.SetPixelFormat(pf32bit);
  Work.SetSize(Client.Width(), Client.Height());
  TCanvas* C = Work.Canvas();
  C->CopyRect(Client, FBackground->Canvas(), Client);
  C->SetFont(Font());
  C->Brush()->SetColor(Color());
  DrawGlyph(C);
  TRect R = Client;
  InflateRect(R, -1, -1);
  const int32_t Beside = GlyphSize().cx + CaptionGap;
  if (CaptionOnRight())
    R.Left += Beside;
  else
    R.Right -= Beside;
  const bool RightToLeft = UseRightToLeftAlignment();
  DrawCaption(C, R, (RightToLeft ? DT_RIGHT : DT_LEFT) | DT_WORDBREAK | DT_EXPANDTABS);
  if (Focused() && !Caption().empty()) {
    // Around the caption's text only, from the caption's side.
    TRect F = R;
    InflateRect(F, 1, 1);
    const int32_t Wanted = C->TextWidth(Trim(Caption())) + FocusSlack;
    if (RightToLeft)
      F.Left = std::max(F.Left, F.Right - Wanted);
    else
      F.Right = std::min(F.Right, F.Left + Wanted);
    PaintDottedFocus(C, F);
  }
  Canvas()->CopyRect(Client, C, Client);
}

void TKvCustomGlyphButton::PaintBackground(TCanvas* Canvas) {
  if (Transparent()) PaintParentBackground(this, Canvas, false);
}

void TKvCustomGlyphButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  FMouseClicking = true;
  TKvCustomButton::MouseDown(Button, Shift, X, Y);
}

void TKvCustomGlyphButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TKvCustomButton::MouseUp(Button, Shift, X, Y);
  FMouseClicking = false;
}

void TKvCustomGlyphButton::KeyPress(char32_t& Key) {
  if (FTabOnEnter && Key == U'\r') {
    Key = 0;
    // Handled like a real Tab, after this key is done.
    if (QWidget* W = Host())
      QCoreApplication::postEvent(W, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    return;
  }
  TKvCustomButton::KeyPress(Key);
}

void TKvCustomGlyphButton::WMEraseBkgnd(TCanvas* Canvas) {
  FBackgroundDirty = true;
  TKvCustomButton::WMEraseBkgnd(Canvas);
}

void TKvCustomGlyphButton::WMSize() {
  FBackgroundDirty = true;
  TKvCustomButton::WMSize();
}

void TKvCustomGlyphButton::CMEnabledChanged() {
  FBackgroundDirty = true;
  TKvCustomButton::CMEnabledChanged();
}

void TKvCustomGlyphButton::CMParentColorChanged() {
  TKvCustomButton::CMParentColorChanged();
  FBackgroundDirty = true;
  Invalidate();
}

void TKvCustomGlyphButton::SetCheckedByAction(bool Value) {
  TKvFlagScope ByAction(FSetByAction);
  SetChecked(Value);
}

std::unique_ptr<TControlActionLink> TKvCustomGlyphButton::CreateActionLink() {
  return std::make_unique<TKvCheckedActionLink>(this);
}

void TKvCustomGlyphButton::ActionChange(TBasicAction* Sender, bool CheckDefaults) {
  TKvCustomButton::ActionChange(Sender, CheckDefaults);
  if (const auto* A = dynamic_cast<const TAction*>(Sender); A && (!CheckDefaults || !Checked()))
    SetCheckedByAction(A->Checked());
}

bool TKvCheckedActionLink::IsCheckedLinked() const {
  const TAction* A = TheAction();
  return A && FButton->Checked() == A->Checked();
}

void TKvCheckedActionLink::SetChecked(bool Value) {
  if (IsCheckedLinked()) FButton->SetCheckedByAction(Value);
}

// ---------------------------------------------------------------------------
// TKvRadioButton

TKvRadioButton::TKvRadioButton(TComponent* AOwner) : TKvCustomGlyphButton(AOwner, RadioCells) {
  SetTabStop(false);
  SetAlignmentVertical(avTop);
}

template <class F>
void TKvRadioButton::ForEachSibling(F Apply) {
  TWinControl* P = Parent();
  if (!P) return;
  for (int32_t I = 0; I < P->ControlCount(); ++I)
    if (auto* R = dynamic_cast<TKvRadioButton*>(P->Controls(I)); R && R != this) Apply(R);
}

void TKvRadioButton::DoSetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  // Only the checked button of a group is a tab stop.
  SetTabStop(Value);
  Redraw();
  if (!Value) return;
  ForEachSibling([](TKvRadioButton* R) { R->SetChecked(false); });
  if (!FSetByAction) Click();
}

void TKvRadioButton::SetReadOnly(bool Value) {
  if (Value == ReadOnly()) return;
  TKvCustomGlyphButton::SetReadOnly(Value);
  Redraw();
  ForEachSibling([Value](TKvRadioButton* R) { R->SetReadOnly(Value); });
}

void TKvRadioButton::Toggle() {
  if (!FChecked && !ReadOnly()) SetChecked(true);
}

void TKvRadioButton::WMSetFocus(TFocusReason Reason) {
  TKvCustomGlyphButton::WMSetFocus(Reason);
  // The keyboard chooses by moving the focus; a mouse press chooses only by its click.
  if (!FMouseClicking && !ReadOnly()) SetChecked(true);
}

bool TKvRadioButton::CMDialogKey(uint16_t Key, TShiftState Shift) {
  if (Key == VK_DOWN && (Shift & (ssShift | ssCtrl | ssAlt)) == 0 && Focused() && CanFocus()) {
    if (!FSetByAction) Click();
    return true;
  }
  return TKvCustomGlyphButton::CMDialogKey(Key, Shift);
}

bool TKvRadioButton::CMDialogChar(char32_t Char, TShiftState Shift) {
  if (IsAccel(Char, Caption()) && CanFocus()) {
    SetFocus();
    return true;
  }
  return TKvCustomGlyphButton::CMDialogChar(Char, Shift);
}

void TKvRadioButton::GetGlyphImage(TBitmap* Bitmap) {
  const TSize S = GlyphSize();
  Bitmap->SetSize(S.cx, S.cy);
  if (UseCustomGlyphs()) {
    const int32_t Row = !Enabled() ? 4 : FPressed ? 2 : 0;
    ExtractGlyph(Row + (FChecked ? 1 : 0), Bitmap, S.cx, S.cy, CustomGlyphs());
  } else if (HotTrack()) {
    PaintRadioButtonGlyph(Bitmap->Canvas(), Rect(0, 0, S.cx, S.cy), FChecked, GlyphColors(), TransparentColor(),
                          Transparent(), Color(), GlyphDrawState());
  } else {
    FillSolidRect(Bitmap->Canvas(), Rect(0, 0, S.cx, S.cy), TransparentColor());
    PaintClassicRadio(Bitmap->Canvas(), FChecked, FPressed, !Enabled());
  }
}

void TKvRadioButton::BlendGlyphEdges(TBitmap* Bitmap) {
  // The circle's outermost pixels, half and faintly covered by its edge.
  static constexpr TPoint Half[] = {{4, 0}, {8, 0},  {2, 1},  {10, 1}, {1, 2},  {11, 2}, {0, 4},  {12, 4},
                                    {0, 8}, {12, 8}, {1, 10}, {11, 10}, {2, 11}, {10, 11}, {4, 12}, {8, 12}};
  static constexpr TPoint Faint[] = {{3, 0}, {9, 0}, {0, 3}, {12, 3}, {0, 9}, {12, 9}, {3, 12}, {9, 12}};
  TCanvas* C = Bitmap->Canvas();
  for (const TPoint& P : Half) C->SetPixel(P.X, P.Y, MixColors(FrameColor(), C->Pixels(P.X, P.Y), 128));
  for (const TPoint& P : Faint) C->SetPixel(P.X, P.Y, MixColors(FrameColor(), C->Pixels(P.X, P.Y), 40));
}

// ---------------------------------------------------------------------------
// TKvCustomCheckBox

TKvCustomCheckBox::TKvCustomCheckBox(TComponent* AOwner) : TKvCustomGlyphButton(AOwner, CheckBoxCells) {
  SetAlignmentVertical(avTop);
}

void TKvCustomCheckBox::SetState(TCheckBoxState Value) {
  if (Value == FState || Value > cbGrayed) return;
  FState = Value;
  Redraw();
  if (!FSetByAction) Click();
}

void TKvCustomCheckBox::WndProc(TMessage& Message) {
  if (Message.Msg == BM_GETCHECK) {
    Message.Result = FState;
    return;
  }
  TKvCustomGlyphButton::WndProc(Message);
}

void TKvCustomCheckBox::Toggle() {
  if (ReadOnly() && FMouseClicking) return;
  switch (FState) {
    case cbUnchecked: SetState(AllowGrayed() ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TKvCustomCheckBox::KeyDown(uint16_t& Key, TShiftState Shift) {
  TKvCustomGlyphButton::KeyDown(Key, Shift);
  if (ReadOnly() || (Key != VK_SPACE && Key != VK_ESCAPE)) return;
  // Escape drops a space press.
  FSpaceDown = FPressed = Key == VK_SPACE;
  Redraw();
}

void TKvCustomCheckBox::KeyUp(uint16_t& Key, TShiftState Shift) {
  TKvCustomGlyphButton::KeyUp(Key, Shift);
  if (ReadOnly() || Key != VK_SPACE) return;
  FPressed = false;
  if (FSpaceDown) {
    FSpaceDown = false;
    Toggle();
  }
  Redraw();
}

void TKvCustomCheckBox::WMKillFocus(TFocusReason Reason) {
  FSpaceDown = false;
  FPressed = false;
  TKvCustomGlyphButton::WMKillFocus(Reason);
}

bool TKvCustomCheckBox::CMDialogChar(char32_t Char, TShiftState Shift) {
  if (IsAccel(Char, Caption()) && CanFocus()) {
    SetFocus();
    if (Focused() && !ReadOnly()) Toggle();
    return true;
  }
  return TKvCustomGlyphButton::CMDialogChar(Char, Shift);
}

void TKvCustomCheckBox::GetGlyphImage(TBitmap* Bitmap) {
  const TSize S = GlyphSize();
  Bitmap->SetSize(S.cx, S.cy);
  if (UseCustomGlyphs()) {
    const int32_t Row = !Enabled() ? 6 : FPressed ? 3 : 0;
    ExtractGlyph(Row + FState, Bitmap, S.cx, S.cy, CustomGlyphs());
  } else if (HotTrack()) {
    PaintCheckBoxGlyph(Bitmap->Canvas(), Rect(0, 0, S.cx, S.cy), FState, GlyphColors(), GlyphDrawState());
  } else {
    PaintClassicCheckBox(Bitmap->Canvas(), FState, FPressed, !Enabled());
  }
}
