#include "widgets/KvButton.h"

#include <QWidget>
#include <algorithm>

#include "platform/gui/ActnList.h"
#include "widgets/KvGrafx.h"

namespace {

// The caption keeps this far from the edges of a push button.
constexpr int32_t CaptionInset = 5;
// How a caption is measured before it is placed.
constexpr uint32_t MeasureFlags = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_CENTER | DT_VCENTER;
// Shifted 1 pixel right and down while pressed.
constexpr int32_t PressShift = 1;

void Line(TCanvas* Canvas, TColor Color, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  Canvas->Pen()->SetColor(Color);
  Canvas->Pen()->SetWidth(1);
  Canvas->Pen()->SetStyle(psSolid);
  Canvas->MoveTo(X1, Y1);
  Canvas->LineTo(X2, Y2);
}

// The four sides of R without its corner pixels.
void PaintCutCornerFrame(TCanvas* Canvas, const TRect& R, TColor Color) {
  Line(Canvas, Color, R.Left, R.Top + 1, R.Left, R.Bottom - 1);
  Line(Canvas, Color, R.Left + 1, R.Top, R.Right - 1, R.Top);
  Line(Canvas, Color, R.Right - 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
  Line(Canvas, Color, R.Left + 1, R.Bottom - 1, R.Right - 1, R.Bottom - 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// TKvCustomButton

TKvCustomButton::TKvCustomButton(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(csCaptureMouse | csSetCaption | csOpaque | csDoubleClicks | csReplicatable | csReflector);
  SetBounds(Left(), Top(), 115, 17);
  SetTabStop(true);
}

void TKvCustomButton::SetAlignmentVertical(TAlignmentVertical Value) { Change(FAlignmentVertical, Value); }
void TKvCustomButton::SetHotTrack(bool Value) { Change(FHotTrack, Value); }
void TKvCustomButton::SetHotTrackColor(TColor Value) { Change(FHotTrackColor, Value); }
void TKvCustomButton::SetHotTrackColorType(TKvHotTrackColorType Value) { Change(FHotTrackColorType, Value); }
void TKvCustomButton::SetHighlightColor(TColor Value) { Change(FHighlightColor, Value); }
void TKvCustomButton::SetLightTextStyle(bool Value) { Change(FLightTextStyle, Value); }
void TKvCustomButton::SetTextStyle(TTextStyle Value) { Change(FTextStyle, Value); }
void TKvCustomButton::SetTextHighlightColor(TColor Value) { Change(FTextHighlightColor, Value); }
void TKvCustomButton::SetTextShadowColor(TColor Value) { Change(FTextShadowColor, Value); }
void TKvCustomButton::SetTextShadowDepth(int32_t Value) { Change(FTextShadowDepth, Value); }
void TKvCustomButton::SetThemeAware(bool Value) { Change(FThemeAware, Value); }
void TKvCustomButton::SetTransparent(bool Value) { Change(FTransparent, Value); }

void TKvCustomButton::InvalidateRect(const TRect& R) {
  if (QWidget* W = Host()) W->update(R.Left, R.Top, R.Width(), R.Height());
}

void TKvCustomButton::DrawCaption(TCanvas* Canvas, TRect R, uint32_t Flags) {
  const std::string Text = Caption();
  Canvas->Brush()->SetStyle(bsClear);
  Canvas->SetFont(Font());
  TRect Measured = R;
  const int32_t H = Canvas->DrawText(Text, Measured, MeasureFlags);
  switch (FAlignmentVertical) {
    case avTop: R.Bottom = R.Top + H; break;
    case avCenter:
      R.Top = (R.Top + R.Bottom - H) / 2;
      R.Bottom = R.Top + H;
      break;
    case avBottom: R.Top = R.Bottom - H - 1; break;
  }
  if (UseRightToLeftReading()) Flags |= DT_RTLREADING;
  auto DrawAt = [&](int32_t DX, int32_t DY, TColor Color) {
    TRect At = R;
    OffsetRect(At, DX, DY);
    Canvas->Font()->SetColor(Color);
    Canvas->DrawText(Text, At, Flags);
  };
  const bool RightAligned = (Flags & DT_RIGHT) != 0;
  if (Enabled()) {
    const int32_t Depth = FTextShadowDepth;
    if (FTextStyle == tsRaised || FTextStyle == tsRecessed) {
      const bool Raised = FTextStyle == tsRaised;
      const TColor A = Raised ? FTextHighlightColor : FTextShadowColor;
      const TColor B = Raised ? FTextShadowColor : FTextHighlightColor;
      // The second pass moves back from where the first one left the copy.
      int32_t Offset = 0;
      if (!Raised || !FLightTextStyle) {
        Offset = 1;
        DrawAt(Offset, Offset, B);
      }
      if (Raised || !FLightTextStyle) DrawAt(Offset - 1, Offset - 1, A);
    } else if (FTextStyle == tsShadow) {
      // A right-aligned caption keeps its right edge: the shadow moves only down, the
      // text left.
      DrawAt(RightAligned ? 0 : Depth, Depth, FTextShadowColor);
    }
    DrawAt(FTextStyle == tsShadow && RightAligned ? -Depth : 0, 0, Font()->Color());
  } else {
    DrawAt(1, 1, clBtnHighlight);
    DrawAt(0, 0, clBtnShadow);
  }
  Canvas->Brush()->SetStyle(bsSolid);
}

void TKvCustomButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (CanFocus()) SetFocus();
  if (!Focused()) return;
  FPressed = true;
  Redraw();
  FCaptured = true;
}

void TKvCustomButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!FCaptured) return;
  const bool Inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y < ClientHeight();
  if (Inside == FPressed) return;
  FPressed = Inside;
  Redraw();
}

void TKvCustomButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft || !FCaptured) return;
  FCaptured = false;
  FPressed = false;
  if (PtInRect(ClientRect(), {X, Y})) Toggle();
  Redraw();
}

void TKvCustomButton::WMEraseBkgnd(TCanvas* Canvas) {
  if (FTransparent)
    PaintBackground(Canvas);
  else
    TCustomControl::WMEraseBkgnd(Canvas);
}

void TKvCustomButton::WMSetFocus(TFocusReason Reason) {
  TCustomControl::WMSetFocus(Reason);
  RepaintNow();
}

void TKvCustomButton::WMKillFocus(TFocusReason Reason) {
  TCustomControl::WMKillFocus(Reason);
  RepaintNow();
}

void TKvCustomButton::CMEnabledChanged() {
  // A disabled control gives the focus back to its form, and the form's buttons learn
  // that none of them is focused any more.
  if (!Enabled() && Parent())
    if (TCustomForm* Form = GetParentForm(this); Form && !Form->Destroying() && Form->ActiveControl() == this) {
      Form->SetActiveControl(nullptr);
      Form->SetFocusedControl(Form);
    }
  TCustomControl::CMEnabledChanged();
}

void TKvCustomButton::HotChanged() {
  if (!FHotTrack) return;
  TRect R;
  GetContentRect(R);
  InvalidateRect(R);
}

void TKvCustomButton::CMMouseEnter() {
  FMouseOver = true;
  TCustomControl::CMMouseEnter();
  HotChanged();
}

void TKvCustomButton::CMMouseLeave() {
  FMouseOver = false;
  TCustomControl::CMMouseLeave();
  HotChanged();
}

// ---------------------------------------------------------------------------
// TKvButton: properties and behaviour

TKvButton::TKvButton(TComponent* AOwner) : TKvCustomButton(AOwner) {
  SetBounds(Left(), Top(), 75, 25);
  SetColor(clBtnFace);
}

void TKvButton::SetAlignment(TAlignment Value) { Change(FAlignment, Value); }
void TKvButton::SetShowDownPattern(bool Value) { Change(FShowDownPattern, Value); }
void TKvButton::SetShowFocusRect(bool Value) { Change(FShowFocusRect, Value); }
void TKvButton::SetFrameColor(TColor Value) { Change(FFrameColor, Value); }

void TKvButton::SetHotTrack(bool Value) {
  TKvCustomButton::SetHotTrack(Value);
  // The cut corners of the flat look show the parent.
  SetTransparent(Value);
  Invalidate();
}

void TKvButton::SetDefault(bool Value) {
  if (Value == FDefault) return;
  FDefault = Value;
  if (!HandleAllocated()) return;
  if (TCustomForm* Form = GetParentForm(this))
    Form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<intptr_t>(Form->ActiveControl()));
}

void TKvButton::SetAllowAllUp(bool Value) {
  if (Value == FAllowAllUp) return;
  FAllowAllUp = Value;
  UpdateExclusive();
}

void TKvButton::SetGroupIndex(int32_t Value) {
  if (Value == FGroupIndex) return;
  FGroupIndex = Value;
  UpdateExclusive();
}

void TKvButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  // The last down button of a group stays down unless the group allows all up.
  if (FDown && !FAllowAllUp && FGroupIndex != 0) return;
  FDown = Value;
  Invalidate();
  if (Value) UpdateExclusive();
}

void TKvButton::UpdateExclusive() {
  if (FGroupIndex == 0 || !Parent()) return;
  TMessage M{CM_GROUPBUTTONPRESSED, FGroupIndex, reinterpret_cast<intptr_t>(static_cast<TControl*>(this)), 0};
  Parent()->Broadcast(M);
}

void TKvButton::GroupButtonPressed(int32_t Group, const TKvButton* Sender) {
  if (Group != FGroupIndex || !Sender || Sender == this) return;
  if (Sender->Down() && FDown) {
    FDown = false;
    Invalidate();
  }
  FAllowAllUp = Sender->AllowAllUp();
}

void TKvButton::WndProc(TMessage& Message) {
  if (Message.Msg == CM_GROUPBUTTONPRESSED) {
    GroupButtonPressed(static_cast<int32_t>(Message.WParam),
                       dynamic_cast<const TKvButton*>(reinterpret_cast<TControl*>(Message.LParam)));
    return;
  }
  TKvCustomButton::WndProc(Message);
}

void TKvButton::Click() {
  if (TCustomForm* Form = GetParentForm(this)) Form->SetModalResult(FModalResult);
  TKvCustomButton::Click();
}

void TKvButton::Toggle() {
  if (FGroupIndex != 0)
    SetDown(!FDown);
  else
    Redraw();
  TKvFlagScope Clicking(FClicking);
  Click();
}

void TKvButton::CreateWnd() {
  TKvCustomButton::CreateWnd();
  FActive = FDefault;
}

void TKvButton::KeyDown(uint16_t& Key, TShiftState Shift) {
  TKvCustomButton::KeyDown(Key, Shift);
  if (Key != VK_SPACE || (Shift & ssAlt)) return;
  FSpaceDown = true;
  FPressed = true;
  Redraw();
}

void TKvButton::KeyUp(uint16_t& Key, TShiftState Shift) {
  TKvCustomButton::KeyUp(Key, Shift);
  if (Key != VK_SPACE) return;
  FPressed = false;
  // Only a space press that began on this button clicks it.
  if (FSpaceDown) {
    FSpaceDown = false;
    Toggle();
  }
  Redraw();
}

void TKvButton::WMKillFocus(TFocusReason Reason) {
  FSpaceDown = false;
  FPressed = false;
  Redraw();
  TKvCustomButton::WMKillFocus(Reason);
}

bool TKvButton::CMDialogKey(uint16_t Key, TShiftState Shift) {
  const bool Mine = (Key == VK_RETURN && FActive) || (Key == VK_ESCAPE && FCancel);
  if (Mine && (Shift & (ssShift | ssCtrl | ssAlt)) == 0 && CanFocus()) {
    Click();
    return true;
  }
  return TKvCustomButton::CMDialogKey(Key, Shift);
}

bool TKvButton::CMDialogChar(char32_t Char, TShiftState Shift) {
  if (IsAccel(Char, Caption()) && CanFocus()) {
    Click();
    return true;
  }
  return TKvCustomButton::CMDialogChar(Char, Shift);
}

void TKvButton::CMFocusChanged(TWinControl* Focused) {
  // A focused push button is the default one; otherwise the one with Default is.
  const bool Active = dynamic_cast<TKvButton*>(Focused) ? Focused == this : FDefault;
  if (Active != FActive) {
    FActive = Active;
    Invalidate();
  }
  TKvCustomButton::CMFocusChanged(Focused);
}

// ---------------------------------------------------------------------------
// TKvButton: painting

bool TKvButton::ShowsDefaultFrame() const {
  return FGroupIndex == 0 && (((FActive || Focused()) && !FPressed) || FClicking);
}

void TKvButton::PaintHotTrackFace(TCanvas* Canvas, TRect& R) {
  const TColor Face = Color();
  if (!Enabled()) {
    InflateRect(R, -1, -1);
    PaintCutCornerFrame(Canvas, R, Face == clBtnFace ? BrightenColor(clBtnShadow, 30) : DimColor(Face, 80));
    InflateRect(R, -1, -1);
    FillSolidRect(Canvas, R, Face);
    return;
  }
  // The soft outer ring: dim on the top and left, bright on the bottom and right.
  const TColor Dim = DimColor(clBtnFace, 20), Bright = BrightenColor(clBtnFace, 20);
  Line(Canvas, Dim, R.Left, R.Top + 2, R.Left, R.Bottom - 2);
  Line(Canvas, Dim, R.Left + 2, R.Top, R.Right - 2, R.Top);
  Line(Canvas, Bright, R.Right - 1, R.Top + 2, R.Right - 1, R.Bottom - 2);
  Line(Canvas, Bright, R.Left + 2, R.Bottom - 1, R.Right - 2, R.Bottom - 1);
  Canvas->SetPixel(R.Left + 1, R.Top + 1, Dim);
  Canvas->SetPixel(R.Right - 2, R.Top + 1, Dim);
  Canvas->SetPixel(R.Left + 1, R.Bottom - 2, Dim);
  Canvas->SetPixel(R.Right - 2, R.Bottom - 2, Bright);
  InflateRect(R, -1, -1);
  PaintCutCornerFrame(Canvas, R, FFrameColor);
  InflateRect(R, -1, -1);
  auto PaintFace = [&] {
    Line(Canvas, DimColor(Face, 20), R.Left, R.Bottom - 2, R.Right, R.Bottom - 2);
    Line(Canvas, DimColor(Face, 30), R.Left, R.Bottom - 1, R.Right, R.Bottom - 1);
    R.Bottom -= 2;
    if (HighColorScreen())
      FillGradientRect(Canvas, R, gdHorizontalEnd, 1, DimColor(Face, 10), BrightenColor(Face, 30));
    else
      FillSolidRect(Canvas, R, Face);
  };
  if (DownInGroup() || FPressed) {
    FillSolidRect(Canvas, R, DimColor(Face, 10));
  } else if (FMouseOver) {
    PaintFace();
    TColor A, B;
    if (HotTrackColorType() == htctComplement) {
      A = OppositeHueColor(HotTrackColor(), 180);
      B = DimColor(A, 30);
    } else {
      A = MixColors(clWhite, HotTrackColor(), 190);
      B = HotTrackColor();
    }
    PaintGradientRing(Canvas, R, gdHorizontalEnd, B, A);
  } else if (FGroupIndex == 0 && (FActive || Focused())) {
    PaintFace();
    TColor H = HighlightColor();
    if (SimilarColors(H, clBtnFace)) H = DimColor(H, 30);
    const TColor L = BrightenColor(Face, 30);
    PaintGradientRing(Canvas, R, gdHorizontalEnd, MixColors(H, L, 160), MixColors(H, L, 60));
  } else {
    PaintFace();
  }
}

void TKvButton::PaintClassicFace(TCanvas* Canvas, TRect& R) {
  if (ShowsDefaultFrame()) R = PaintRectSides(Canvas, R, clWindowFrame, sdsAll, clWindowFrame);
  const TColor Face = Color();
  const bool Sunken = DownInGroup() || FPressed;
  if (FGroupIndex == 0)
    R = Face == clBtnFace ? PaintButtonBevelRect(Canvas, R, FPressed ? 1 : 0)
                          : PaintColorBevelRect(Canvas, R, Face, FPressed);
  else if (Face == clBtnFace)
    R = PaintStyledFrameRect(Canvas, R, Sunken ? fsLowered : fsButtonUp);
  else
    R = Sunken ? PaintColoredStyledFrameRect(Canvas, R, Face, fsLowered) : PaintColorBevelRect(Canvas, R, Face, false);
  FillSolidRect(Canvas, R, Face);
}

void TKvButton::Paint() {
  TCanvas* C = Canvas();
  TRect Focus = ClientRect();
  const int32_t FocusInset = HotTrack() ? 3 : 4;
  InflateRect(Focus, -FocusInset, -FocusInset);
  if (FGroupIndex != 0 && (FDown || FPressed)) OffsetRect(Focus, PressShift, PressShift);
  TRect R = ClientRect();
  if (HotTrack())
    PaintHotTrackFace(C, R);
  else
    PaintClassicFace(C, R);
  if (DownInGroup() && FShowDownPattern) {
    TBitmap Pattern;
    CreateDownPattern(&Pattern);
    C->Brush()->SetStyle(bsSolid);
    C->Brush()->SetBitmap(&Pattern);
    C->FillRect(R);
    C->Brush()->SetBitmap(nullptr);
  }
  C->SetFont(Font());
  C->Brush()->SetColor(Color());
  DrawButtonContent();
  if (Focused() && FShowFocusRect) PaintDottedFocus(C, Focus);
}

void TKvButton::PaintBackground(TCanvas* Canvas) {
  // Only the cut corners (and, disabled, the outer edge) show the parent.
  TRect Inside = ClientRect();
  const int32_t Frame = Enabled() ? 1 : 2;
  InflateRect(Inside, -Frame, -Frame);
  const int32_t Saved = Canvas->SaveDC();
  Canvas->ExcludeClipRect(Inside.Left, Inside.Top, Inside.Right, Inside.Bottom);
  InflateRect(Inside, 1, -1);
  Canvas->ExcludeClipRect(Inside.Left, Inside.Top, Inside.Right, Inside.Bottom);
  InflateRect(Inside, -2, 2);
  Canvas->ExcludeClipRect(Inside.Left, Inside.Top, Inside.Right, Inside.Bottom);
  PaintParentBackground(this, Canvas, false);
  Canvas->RestoreDC(Saved);
}

void TKvButton::CreateDownPattern(TBitmap* Bitmap) {
  constexpr int32_t Size = 8;
  Bitmap->SetSize(Size, Size);
  FillSolidRect(Bitmap->Canvas(), Rect(0, 0, Size, Size), Color());
  const TColor Dot = ColorToRGB(Color()) == clSilver ? clGray : clSilver;
  for (int32_t Y = 0; Y < Size; ++Y)
    for (int32_t X = Y % 2; X < Size; X += 2) Bitmap->Canvas()->SetPixel(X, Y, Dot);
}

void TKvButton::GetCaptionRect(TRect& R) {
  R = ClientRect();
  InflateRect(R, -CaptionInset, -CaptionInset);
  if (!HotTrack() && (FPressed || DownInGroup())) OffsetRect(R, PressShift, PressShift);
}

uint32_t TKvButton::CaptionFlags() const {
  TAlignment A = FAlignment;
  if (UseRightToLeftAlignment() && A != taCenter) A = A == taLeftJustify ? taRightJustify : taLeftJustify;
  const uint32_t Placement = A == taLeftJustify ? DT_LEFT : A == taRightJustify ? DT_RIGHT : DT_CENTER;
  return Placement | DT_WORDBREAK | DT_EXPANDTABS;
}

void TKvButton::DrawButtonContent() {
  TRect R;
  GetCaptionRect(R);
  DrawCaption(Canvas(), R, CaptionFlags());
}

// ---------------------------------------------------------------------------
// TKvBitBtn

namespace {

struct TStockKind {
  const char* Caption;
  TModalResult ModalResult;
};

constexpr TStockKind StockKinds[] = {
    {"", mrNone},           {"OK", mrOk},       {"Cancel", mrCancel}, {"&Help", mrNone},
    {"&Yes", mrYes},        {"&No", mrNo},      {"&Close", mrNone},   {"Abort", mrAbort},
    {"&Retry", mrRetry},    {"&Ignore", mrIgnore}, {"&All", mrAll},
};

bool StockDefault(TBitBtnKind Kind) { return Kind == bkOK || Kind == bkYes; }
bool StockCancel(TBitBtnKind Kind) { return Kind == bkCancel || Kind == bkNo; }

}  // namespace

TKvBitBtn::TKvBitBtn(TComponent* AOwner) : TKvButton(AOwner), FGlyph(std::make_unique<TBitmap>()) {
  FGlyph->OnChange = [this](TComponent*) { GlyphChanged(); };
  FImageChangeLink.OnChange = [this](TComponent*) { Invalidate(); };
}

TKvBitBtn::~TKvBitBtn() = default;

std::string TKvBitBtn::KindCaption(TBitBtnKind Kind) { return StockKinds[Kind].Caption; }

void TKvBitBtn::SetGlyph(const TBitmap* Value) {
  if (Value) {
    FGlyph->Assign(*Value);
  } else {
    const TBitmap Empty;
    FGlyph->Assign(Empty);
  }
  FGlyphModified = true;
}

void TKvBitBtn::GlyphChanged() {
  const int32_t W = FGlyph->Width(), H = FGlyph->Height();
  if (H != 0 && W % H == 0) {
    const int32_t Cells = W / H;
    FNumGlyphs = Cells >= 1 && Cells <= 4 ? Cells : 1;
  }
  Invalidate();
}

TBitBtnKind TKvBitBtn::GetKind() const {
  if (FKind != bkCustom &&
      (Default() != StockDefault(FKind) || Cancel() != StockCancel(FKind) ||
       ModalResult() != StockKinds[FKind].ModalResult || FGlyphModified))
    FKind = bkCustom;
  return FKind;
}

void TKvBitBtn::SetKind(TBitBtnKind Value) {
  if (Value > bkAll || Value == GetKind()) return;
  if (Value != bkCustom) {
    SetDefault(StockDefault(Value));
    SetCancel(StockCancel(Value));
    // A window being built keeps a caption of its own.
    if (!Loading() || Caption().empty()) SetCaption(StockKinds[Value].Caption);
    SetModalResult(StockKinds[Value].ModalResult);
    FGlyph->Assign(*StockGlyph(Value));
    FNumGlyphs = 2;
    FGlyphModified = false;
  }
  FKind = Value;
  Invalidate();
}

void TKvBitBtn::SetLayout(TButtonLayout Value) { Change(FLayout, Value); }
void TKvBitBtn::SetNumGlyphs(int32_t Value) { Change(FNumGlyphs, std::clamp(Value, 1, 4)); }
void TKvBitBtn::SetSpacing(int32_t Value) { Change(FSpacing, Value); }
void TKvBitBtn::SetImageIndex(int32_t Value) { Change(FImageIndex, Value); }
void TKvBitBtn::SetDisabledIndex(int32_t Value) { Change(FDisabledIndex, Value); }

void TKvBitBtn::SetMargin(int32_t Value) {
  if (Value >= -1) Change(FMargin, Value);
}

void TKvBitBtn::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  if (FImages) {
    FImages->UnRegisterChanges(&FImageChangeLink);
    FImages->RemoveFreeNotification(this);
  }
  FImages = Value;
  if (FImages) {
    FImages->RegisterChanges(&FImageChangeLink);
    FImages->FreeNotification(this);
  }
  Invalidate();
}

void TKvBitBtn::Notification(TComponent* AComponent, TOperation Operation) {
  TKvButton::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) {
    FImages = nullptr;
    Invalidate();
  }
}

void TKvBitBtn::ActionChange(TBasicAction* Sender, bool CheckDefaults) {
  TKvButton::ActionChange(Sender, CheckDefaults);
  if (const auto* A = dynamic_cast<const TAction*>(Sender); A && (!CheckDefaults || FImageIndex == -1))
    SetImageIndex(A->ImageIndex());
}

bool TKvBitBtn::HasPicture() const { return ShowsImage() || !FGlyph->Empty(); }

void TKvBitBtn::GetGlyphSize(TSize& Size) {
  if (ShowsImage())
    Size = {FImages->Width(), FImages->Height()};
  else if (FGlyph->Empty())
    Size = {0, 0};
  else
    Size = {FGlyph->Width() / FNumGlyphs, FGlyph->Height()};
}

int32_t TKvBitBtn::CaptionHeight(const TRect& R) {
  Canvas()->SetFont(Font());
  TRect Measured = R;
  return Canvas()->DrawText(Caption(), Measured, MeasureFlags);
}

void TKvBitBtn::GetCaptionRect(TRect& R) {
  TKvButton::GetCaptionRect(R);
  if (!HasPicture()) return;
  TSize G;
  GetGlyphSize(G);
  const int32_t S = FSpacing, M = FMargin;
  if (M == -1) {
    const int32_t H = CaptionHeight(R);
    const int32_t Block = (Height() - (G.cy + H + S)) / 2;
    switch (FLayout) {
      case blGlyphLeft: R.Left += M + G.cx + S; break;
      case blGlyphRight: R.Right -= M + G.cx + S; break;
      case blGlyphTop:
        R.Top += Block + G.cy;
        R.Bottom = R.Top + H;
        break;
      case blGlyphBottom:
        R.Top += Block;
        R.Bottom = R.Top + H;
        break;
    }
    return;
  }
  switch (FLayout) {
    case blGlyphLeft: R.Left += M + G.cx + S; break;
    case blGlyphRight: R.Right -= M + G.cx + S; break;
    case blGlyphTop: R.Top += M + G.cy + S; break;
    case blGlyphBottom: R.Bottom -= M + G.cy + S; break;
  }
}

void TKvBitBtn::GetGlyphRect(TRect& R) {
  TKvButton::GetCaptionRect(R);
  if (FPressed) OffsetRect(R, -PressShift, -PressShift);
  TSize G;
  GetGlyphSize(G);
  const int32_t S = FSpacing, M = FMargin;
  if (M == -1) {
    const int32_t H = CaptionHeight(R);
    const int32_t Block = (Height() - (G.cy + H + S)) / 2;
    switch (FLayout) {
      case blGlyphLeft: break;
      case blGlyphRight: R.Left = R.Right - G.cx; break;
      case blGlyphTop: R.Top = Block; break;
      case blGlyphBottom: R.Top += Block + H; break;
    }
  } else {
    switch (FLayout) {
      case blGlyphLeft: R.Left += M; break;
      case blGlyphRight: R.Left = R.Right - M - G.cx; break;
      case blGlyphTop: R.Top += M; break;
      case blGlyphBottom: R.Top = R.Bottom - M - G.cy; break;
    }
  }
  if (FLayout == blGlyphTop || FLayout == blGlyphBottom)
    R.Left += (R.Right - R.Left - G.cx + 1) / 2;
  else
    R.Top += (R.Bottom - R.Top - G.cy + 1) / 2;
  R.Right = R.Left + G.cx;
  R.Bottom = R.Top + G.cy;
  if (FPressed) OffsetRect(R, PressShift, PressShift);
}

void TKvBitBtn::DrawButtonContent() {
  TKvButton::DrawButtonContent();
  TRect R;
  GetGlyphRect(R);
  if (GetKind() == bkCustom && ShowsImage())
    DrawImage(R);
  else if (!FGlyph->Empty())
    DrawGlyph(R);
}

void TKvBitBtn::DrawGlyph(const TRect& R) {
  const int32_t W = R.Width(), H = R.Height();
  if (W <= 0 || H <= 0) return;
  // Cells: normal, disabled, pressed, down.
  int32_t Cell = 1;
  if (FNumGlyphs == 4 && DownInGroup())
    Cell = 3;
  else if (FNumGlyphs >= 3 && FPressed)
    Cell = 2;
  else if (FNumGlyphs < 2 || Enabled())
    Cell = 0;
  StretchDrawMasked(Canvas(), FGlyph.get(), R, FGlyph->TransparentColor(), Rect(Cell * W, 0, (Cell + 1) * W, H));
}

void TKvBitBtn::DrawImage(const TRect& R) {
  if (FDisabledIndex == -1 || Enabled()) {
    // Without a disabled image the list greys the normal one.
    if (FImageIndex != -1) FImages->Draw(Canvas(), R.Left, R.Top, FImageIndex, FDisabledIndex != -1 || Enabled());
  } else {
    FImages->Draw(Canvas(), R.Left, R.Top, FDisabledIndex, true);
  }
}
