// KvPanel: the panel and the group box. The toolbar is in KvPanelToolbar.cpp.
#include "widgets/KvPanel.h"

#include <algorithm>

#include "widgets/KvGrafx.h"

namespace {

constexpr uint32_t AlignmentFlags[] = {DT_LEFT, DT_RIGHT, DT_CENTER};

void DrawLine(TCanvas* C, TColor Color, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  C->Pen()->SetColor(Color);
  C->MoveTo(X1, Y1);
  C->LineTo(X2, Y2);
}

// Text in the font colour, or embossed (highlight one pixel down and right under the
// shadow) when disabled.
void DrawStateText(TCanvas* C, const std::string& Text, TRect R, uint32_t Flags, bool Enabled) {
  if (Enabled) {
    C->DrawText(Text, R, Flags);
    return;
  }
  TRect Shifted = R;
  OffsetRect(Shifted, 1, 1);
  C->Font()->SetColor(clBtnHighlight);
  C->DrawText(Text, Shifted, Flags);
  C->Font()->SetColor(clBtnShadow);
  C->DrawText(Text, R, Flags);
}

}  // namespace

// ---------------------------------------------------------------------------
// TKvCustomPanel

TKvCustomPanel::TKvCustomPanel(TComponent* AOwner) : TCustomPanel(AOwner) {
  SetControlStyle((ControlStyle() | csOpaque) & ~csSetCaption);
  // The panel paints its own borders; the class library's bevels stay off.
  SetBevelOuter(bvNone);
}

template <class T>
bool TKvCustomPanel::Change(T& Field, T Value) {
  if (Field == Value) return false;
  Field = Value;
  Invalidate();
  return true;
}

void TKvCustomPanel::SetAlignmentVertical(TAlignmentVertical Value) { Change(FAlignmentVertical, Value); }
void TKvCustomPanel::SetBorderColor(TColor Value) { Change(FBorder.BorderColor, Value); }
void TKvCustomPanel::SetBorderHighlight(TColor Value) { Change(FBorder.HighlightColor, Value); }
void TKvCustomPanel::SetBorderShadow(TColor Value) { Change(FBorder.ShadowColor, Value); }
void TKvCustomPanel::SetFlatColor(TColor Value) { Change(FBorder.FlatColor, Value); }
void TKvCustomPanel::SetFlatColorAdjustment(int32_t Value) { Change(FBorder.FlatColorAdjustment, Value); }
void TKvCustomPanel::SetPaintClientArea(bool Value) { Change(FPaintClientArea, Value); }
void TKvCustomPanel::SetVisualStyle(TKvVisualStyle Value) { Change(FVisualStyle, Value); }
void TKvCustomPanel::SetGradientColorStyle(TKvGradientColorStyle Value) { Change(FGradientColorStyle, Value); }
void TKvCustomPanel::SetGridColor(TColor Value) { Change(FGridColor, Value); }
void TKvCustomPanel::SetGridStyle(TKvGridStyle Value) { Change(FGridStyle, Value); }
void TKvCustomPanel::SetGridXSize(uint16_t Value) { Change(FGridXSize, Value); }
void TKvCustomPanel::SetGridYSize(uint16_t Value) { Change(FGridYSize, Value); }
void TKvCustomPanel::SetShowGrid(bool Value) { Change(FShowGrid, Value); }
void TKvCustomPanel::SetTextMargin(int32_t Value) { Change(FTextMargin, Value); }
void TKvCustomPanel::SetTextMarginVertical(int32_t Value) { Change(FTextMarginVertical, Value); }
void TKvCustomPanel::SetWordWrap(bool Value) { Change(FWordWrap, Value); }

// The frames move the children.
void TKvCustomPanel::SetBorderInner(TFrameStyleEx Value) {
  if (Change(FBorder.Inner, Value)) Realign();
}
void TKvCustomPanel::SetBorderOuter(TFrameStyleEx Value) {
  if (Change(FBorder.Outer, Value)) Realign();
}
void TKvCustomPanel::SetBorderSides(TSides Value) {
  if (Change(FBorder.Sides, static_cast<TSides>(Value & sdsAll))) Realign();
}

// Transparent children show the gradient.
void TKvCustomPanel::SetGradientColorStart(TColor Value) {
  if (Change(FGradientColorStart, Value)) InvalidateTransparentChildren(this);
}
void TKvCustomPanel::SetGradientColorStop(TColor Value) {
  if (Change(FGradientColorStop, Value)) InvalidateTransparentChildren(this);
}
void TKvCustomPanel::SetGradientDirection(TGradientDirection Value) {
  if (Change(FGradientDirection, Value)) InvalidateTransparentChildren(this);
}

void TKvCustomPanel::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  SetControlStyle(Value ? ControlStyle() & ~csOpaque : ControlStyle() | csOpaque);
  Invalidate();
  for (int32_t I = 0; I < ControlCount(); ++I) Controls(I)->Invalidate();
}

void TKvCustomPanel::FrameControllerChanged() {
  TKvFrameController* F = FFrameLink.VisibleFrame();
  if (!F) return;
  if (FFrameLink.Admits(fcpFrameStyle)) FBorder.Outer = F->FrameStyle();
  if (FFrameLink.Admits(fcpFrameSides)) FBorder.Sides = F->FrameSides();
  if (FFrameLink.Admits(fcpFrameColor)) {
    FBorder.FlatColor = F->FrameColor();
    FBorder.FlatColorAdjustment = 0;
  }
  if (FFrameLink.Admits(fcpColor)) {
    SetColor(F->Color());
    FBorder.HighlightColor = BrightenColor(Color(), 100);
    FBorder.ShadowColor = DimColor(Color(), 50);
  }
  if (FFrameLink.Admits(fcpParentColor)) SetParentColor(F->ParentColor());
  Realign();
  Invalidate();
}

void TKvCustomPanel::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomPanel::Notification(AComponent, Operation);
  FFrameLink.Notification(AComponent, Operation);
}

void TKvCustomPanel::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (Align() == alBottom && AHeight != Height()) ATop -= AHeight - Height();
  if (Align() == alRight && AWidth != Width()) ALeft -= AWidth - Width();
  const int32_t OldWidth = Width(), OldHeight = Height();
  TCustomPanel::SetBounds(ALeft, ATop, AWidth, AHeight);
  const bool WidthChanged = Width() != OldWidth, HeightChanged = Height() != OldHeight;
  if (!WidthChanged && !HeightChanged) return;
  if (FullRepaint() || Caption().empty()) {
    Invalidate();
    return;
  }
  // The frames stood inside the old size and stand inside the new one: the strips from
  // the smaller of the two out to the edge cover both.
  TRect Inner = Rect(0, 0, std::min(OldWidth, Width()), std::min(OldHeight, Height()));
  AdjustBorderRect(Inner, true);
  TPoint Margin{1, 1};
  GetResizeRepaintMargin(Margin);
  if (WidthChanged) InvalidateRect(Rect(Inner.Right - Margin.X, 0, Width(), Height()));
  if (HeightChanged) InvalidateRect(Rect(0, Inner.Bottom - Margin.Y, Width(), Height()));
}

void TKvCustomPanel::GetResizeRepaintMargin(TPoint& Margin) const { Margin = Point(1, 1); }

void TKvCustomPanel::AdjustBorderRect(TRect& R, bool IncludeBorderWidth) const {
  if (IncludeBorderWidth) InflateRect(R, -BorderWidth(), -BorderWidth());
  for (TFrameStyleEx Style : {FBorder.Outer, FBorder.Inner})
    R = InsetSides(R, FBorder.Sides, FrameStyleInset(Style, BevelWidth()));
}

void TKvCustomPanel::AdjustClientRect(TRect& Rect) {
  // The class library's part takes the border width (its bevels are off).
  TCustomPanel::AdjustClientRect(Rect);
  AdjustBorderRect(Rect, false);
}

void TKvCustomPanel::GetGradientColors(TColor& Start, TColor& Stop) const {
  if (FGradientColorStyle == gcsCustom) {
    Start = FGradientColorStart;
    Stop = FGradientColorStop;
  } else {
    GradientColorsByStyle(FGradientColorStyle, Start, Stop);
  }
}

void TKvCustomPanel::GetFlatColors(TColor& Color, int32_t& Adjustment) const {
  if (FVisualStyle == vsGradient && FGradientColorStyle != gcsCustom) {
    Color = FrameColorByStyle(FGradientColorStyle);
    Adjustment = 0;
  } else {
    Color = FBorder.FlatColor;
    Adjustment = FBorder.FlatColorAdjustment;
  }
}

TControlBorder TKvCustomPanel::BorderSettings() const {
  TControlBorder B = FBorder;
  B.Transparent = FTransparent;
  B.ParentColor = Parent() ? Parent()->Color() : TColor(clBtnFace);
  B.ControlColor = Color();
  B.BevelWidth = BevelWidth();
  B.BorderWidth = BorderWidth();
  GetFlatColors(B.FlatColor, B.FlatColorAdjustment);
  return B;
}

void TKvCustomPanel::WMEraseBkgnd(TCanvas* Canvas) {
  if (FTransparent && FPaintClientArea)
    PaintParentBackground(this, Canvas, false);
  else
    TCustomPanel::WMEraseBkgnd(Canvas);
}

void TKvCustomPanel::Paint() {
  TCanvas* C = Canvas();
  const TRect R = Rect(0, 0, Width(), Height());
  const TRect Inner = PaintControlBorder(C, R, BorderSettings());
  if (!FTransparent && FPaintClientArea) {
    if (FVisualStyle == vsGradient) {
      TColor Start, Stop;
      GetGradientColors(Start, Stop);
      FillGradientRect(C, Inner, FGradientDirection, 1, Stop, Start);
    } else {
      FillSolidRect(C, Inner, Color());
    }
  }
  if (FShowGrid) DrawGrid(R);
  C->Brush()->SetStyle(bsClear);
  DrawCaption(R);
  C->Brush()->SetStyle(bsSolid);
  if (OnPaint) OnPaint(this);
}

void TKvCustomPanel::DrawGrid(const TRect& R) {
  TCanvas* C = Canvas();
  const int32_t Cols = FGridXSize ? R.Width() / FGridXSize : 0;
  const int32_t Rows = FGridYSize ? R.Height() / FGridYSize : 0;
  auto GridX = [&](int32_t I) { return R.Left - 1 + I * FGridXSize; };
  auto GridY = [&](int32_t J) { return R.Top - 1 + J * FGridYSize; };
  C->Pen()->SetWidth(1);
  C->Pen()->SetStyle(psSolid);
  C->Pen()->SetColor(FGridColor);
  switch (FGridStyle) {
    case gsDots:
      for (int32_t I = 1; I <= Cols; ++I)
        for (int32_t J = 1; J <= Rows; ++J) C->SetPixel(GridX(I), GridY(J), FGridColor);
      break;
    case gsSolidLines:
      for (int32_t I = 1; I <= Cols; ++I) DrawLine(C, FGridColor, GridX(I), R.Top, GridX(I), R.Bottom);
      for (int32_t J = 1; J <= Rows; ++J) DrawLine(C, FGridColor, R.Left, GridY(J), R.Right, GridY(J));
      break;
    case gsDottedLines:
      for (int32_t I = 1; I <= Cols; ++I)
        for (int32_t Y = R.Top + 1; Y < R.Bottom; Y += 2) C->SetPixel(GridX(I), Y, FGridColor);
      for (int32_t J = 1; J <= Rows; ++J)
        for (int32_t X = R.Left + 1; X < R.Right; X += 2) C->SetPixel(X, GridY(J), FGridColor);
      break;
  }
}

void TKvCustomPanel::DrawCaption(const TRect& Bounds) {
  const std::string Text = Caption();
  if (Text.empty()) return;
  TCanvas* C = Canvas();
  C->SetFont(Font());
  TRect R = Bounds;
  InflateRect(R, -FTextMargin, -FTextMarginVertical);
  uint32_t Flags = AlignmentFlags[Alignment()] | DT_EXPANDTABS | DT_VCENTER;
  if (FWordWrap) Flags |= DT_WORDBREAK;
  Flags = DrawTextBiDiModeFlags(Flags);
  TRect Measure = R;
  C->DrawText(Text, Measure, Flags | DT_CALCRECT);
  const int32_t H = Measure.Height();
  switch (FAlignmentVertical) {
    case avTop: R.Bottom = std::min(R.Bottom, R.Top + H); break;
    case avCenter:
      R.Top = (R.Top + R.Bottom - H) / 2;
      R.Bottom = std::min(R.Bottom, R.Top + H);
      break;
    case avBottom: R.Top = std::max(R.Top, R.Bottom - H - 1); break;
  }
  DrawStateText(C, Text, R, Flags, Enabled());
}

void TKvCustomPanel::CMEnabledChanged() {
  TCustomPanel::CMEnabledChanged();
  std::vector<TControl*> Children;
  for (int32_t I = 0; I < ControlCount(); ++I) Children.push_back(Controls(I));
  if (!Enabled()) {
    // All are recorded before any is touched: a child's handler may look at another.
    FChildStates.clear();
    for (TControl* Child : Children) FChildStates.emplace_back(Child, Child->Enabled());
    for (TControl* Child : Children) Child->SetEnabled(false);
  } else {
    for (TControl* Child : Children) {
      auto It = std::find_if(FChildStates.begin(), FChildStates.end(), [Child](const auto& E) { return E.first == Child; });
      if (It == FChildStates.end() || It->second) Child->SetEnabled(true);
    }
  }
}

void TKvCustomPanel::CMControlChange(TControl* Control, bool Inserting) {
  TCustomPanel::CMControlChange(Control, Inserting);
  // A child that leaves takes its record along (its address may come back as another).
  if (!Inserting) std::erase_if(FChildStates, [Control](const auto& E) { return E.first == Control; });
}

// ---------------------------------------------------------------------------
// TKvCustomGroupBox

namespace {

// The line height the frame and the client area are measured by.
int32_t GroupTextHeight(const TFont* Font) {
  TCanvas C;
  C.SetFont(Font);
  return C.TextHeight("Yy");
}

}  // namespace

TKvCustomGroupBox::TKvCustomGroupBox(TComponent* AOwner) : TKvCustomPanel(AOwner) {
  SetControlStyle(ControlStyle() | csSetCaption | csDoubleClicks);
  SetBorderOuter(fsNone);
  SetBorderInner(fsNone);
  SetAlignment(taLeftJustify);
  SetAlignmentVertical(avTop);
  SetHeight(105);
}

void TKvCustomGroupBox::SetGroupStyle(TKvGroupBoxStyle Value) {
  if (Value == FGroupStyle) return;
  FGroupStyle = Value;
  Realign();
  Invalidate();
}

void TKvCustomGroupBox::FrameControllerChanged() {
  if (FGroupStyle == gsCustom) TKvCustomPanel::FrameControllerChanged();
}

void TKvCustomGroupBox::AdjustClientRect(TRect& Rect) {
  TKvCustomPanel::AdjustClientRect(Rect);
  const int32_t H = GroupTextHeight(Font());
  switch (FGroupStyle) {
    case gsStandard:
    case gsFlat: {
      if (H / 2 - 1 >= BorderWidth())
        Rect.Top += H - BorderWidth();
      else
        Rect.Top += H / 2 - 1;
      const int32_t Inset = FGroupStyle == gsStandard ? 2 : 1;
      InflateRect(Rect, -Inset, -Inset);
      break;
    }
    case gsCustom:
      if (!Caption().empty()) Rect.Top += H;
      InflateRect(Rect, -2, -2);
      break;
    case gsTopLine: Rect.Top += H; break;
    case gsBanner: Rect.Top += H + 8; break;
    case gsUnderline: Rect.Top += H + 4; break;
  }
}

TRect TKvCustomGroupBox::CaptionRect(int32_t TW, int32_t TH) const {
  if (Caption().empty()) return {};
  const bool RTL = UseRightToLeftAlignment();
  switch (FGroupStyle) {
    case gsStandard:
    case gsFlat: return RTL ? Rect(Width() - TW - 8, 0, Width() - 8, TH) : Rect(8, 0, 8 + TW, TH);
    case gsTopLine: return RTL ? Rect(Width() - TW - 4, 0, Width() - 4, TH) : Rect(0, 0, TW + 4, TH);
    case gsBanner: return Rect(0, 0, Width(), TH + 6);
    case gsUnderline: return Rect(0, 0, Width(), TH + 2);
    default: return {};
  }
}

void TKvCustomGroupBox::PaintGroupFrame(TCanvas* C, const TRect& Caption, int32_t TH) {
  const TRect F = Rect(0, TH / 2 - 1, Width(), Height());
  const TColor Line = AdjustLuminance(FlatColor(), FlatColorAdjustment());
  const int32_t L = F.Left, T = F.Top, R = F.Right, B = F.Bottom;
  switch (FGroupStyle) {
    case gsStandard:
      switch (BorderOuter()) {
        case fsNone: PaintStyledFrame(C, F, fsGroove, sdsAll); break;
        case fsFlat: PaintOutlineBox(C, F, Line); break;
        case fsFlatBold: PaintRectSidesN(C, F, Line, sdsAll, 2, Line); break;
        default: PaintStyledFrame(C, F, BorderOuter(), sdsAll); break;
      }
      break;
    case gsTopLine:
      switch (BorderOuter()) {
        case fsNone: PaintStyledFrame(C, F, fsGroove, sdsTop); break;
        case fsFlatBold: DrawLine(C, Line, L + 2, T + 1, R - 2, T + 1); [[fallthrough]];
        case fsFlat: DrawLine(C, Line, L + 2, T, R - 2, T); break;
        default: PaintStyledFrame(C, F, BorderOuter(), sdsTop); break;
      }
      break;
    case gsFlat:
      // Cut corners: the four sides stop short, a pixel closes each corner.
      DrawLine(C, Line, L, T + 2, L, B - 2);
      DrawLine(C, Line, L + 2, T, R - 2, T);
      DrawLine(C, Line, R - 1, T + 2, R - 1, B - 2);
      DrawLine(C, Line, L + 2, B - 1, R - 2, B - 1);
      for (TPoint P : {Point(L + 1, T + 1), Point(R - 2, T + 1), Point(R - 2, B - 2), Point(L + 1, B - 2)})
        C->SetPixel(P.X, P.Y, Line);
      break;
    case gsBanner: {
      if (IsRectEmpty(Caption)) break;
      TColor Start, Stop, Frame;
      if (GradientColorStyle() == gcsCustom) {
        Start = GradientColorStart();
        Stop = GradientColorStop();
        Frame = Line;
      } else {
        // The light second colour starts the banner, the darkest third frames it.
        GroupColorsByStyle(GradientColorStyle(), Stop, Start, Frame);
      }
      const int32_t BL = Caption.Left, BT = Caption.Top, BR = Caption.Right, BB = Caption.Bottom;
      DrawLine(C, Frame, BL, BT + 1, BL, BB - 1);
      DrawLine(C, Frame, BL + 1, BT, BR - 1, BT);
      DrawLine(C, Frame, BR - 1, BT + 1, BR - 1, BB - 1);
      DrawLine(C, Frame, BL + 1, BB - 1, BR - 1, BB - 1);
      TRect Inside = Caption;
      InflateRect(Inside, -1, -1);
      FillGradientRect(C, Inside, gdHorizontalEnd, 1, Stop, Start);
      break;
    }
    case gsUnderline:
      if (!IsRectEmpty(Caption)) DrawLine(C, Line, Caption.Left, Caption.Bottom - 1, Caption.Right, Caption.Bottom - 1);
      break;
    default: break;
  }
}

void TKvCustomGroupBox::Paint() {
  if (FGroupStyle == gsCustom) {
    TKvCustomPanel::Paint();
    return;
  }
  TCanvas* C = Canvas();
  C->SetFont(Font());
  const std::string Text = StripAccelerators(Caption());
  const TSize Extent = C->TextExtent(Text);
  TRect Cap = CaptionRect(Extent.cx, Extent.cy);
  const int32_t Saved = C->SaveDC();
  if (Transparent()) {
    if (FGroupStyle != gsBanner && !IsRectEmpty(Cap)) C->ExcludeClipRect(Cap.Left, Cap.Top, Cap.Right, Cap.Bottom);
  } else {
    FillSolidRect(C, Rect(0, 0, Width(), Height()), Color());
  }
  PaintGroupFrame(C, Cap, Extent.cy);
  C->RestoreDC(Saved);
  if (!IsRectEmpty(Cap)) {
    if (!Transparent() && FGroupStyle != gsBanner) {
      FillSolidRect(C, Cap, Color());
    }
    if (FGroupStyle == gsBanner) InflateRect(Cap, -4, -1);
    C->Brush()->SetStyle(bsClear);
    DrawStateText(C, Caption(), Cap, DrawTextBiDiModeFlags(AlignmentFlags[Alignment()] | DT_SINGLELINE), Enabled());
    C->Brush()->SetStyle(bsSolid);
  }
  if (OnPaint) OnPaint(this);
}

bool TKvCustomGroupBox::CMDialogChar(char32_t Char, TShiftState Shift) {
  if (IsAccel(Char, Caption()) && CanFocus()) {
    SelectFirst();
    return true;
  }
  return TKvCustomPanel::CMDialogChar(Char, Shift);
}

void TKvCustomGroupBox::CMFontChanged() {
  TKvCustomPanel::CMFontChanged();
  // The caption's height sets the client area.
  Realign();
  Invalidate();
}
