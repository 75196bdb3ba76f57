#include "widgets/KvPrgres.h"

#include <algorithm>
#include <string>

namespace {

// LED bars this short show at most this many segments.
constexpr int32_t ShortBar = 80;
constexpr int32_t ShortBarSegments = 10;

void Fill(TCanvas* Canvas, const TRect& R, TColor Color) {
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(Color);
  Canvas->FillRect(R);
}

}  // namespace

TKvCustomProgressBar::TKvCustomProgressBar(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() | csOpaque);
  Font()->SetColor(FBarColor);
  SetBounds(Left(), Top(), 200, 24);
}

template <class T>
void TKvCustomProgressBar::Change(T& Field, T Value) {
  if (Field == Value) return;
  Field = Value;
  Repaint();
}

void TKvCustomProgressBar::SetBackColor(TColor Value) { Change(FBackColor, Value); }
void TKvCustomProgressBar::SetBackColorStop(TColor Value) { Change(FBackColorStop, Value); }
void TKvCustomProgressBar::SetBarColorStop(TColor Value) { Change(FBarColorStop, Value); }
void TKvCustomProgressBar::SetBevelWidth(int32_t Value) { Change(FBorder.BevelWidth, std::max(Value, 1)); }
void TKvCustomProgressBar::SetBorderColor(TColor Value) { Change(FBorder.BorderColor, Value); }
void TKvCustomProgressBar::SetBorderInner(TFrameStyleEx Value) { Change(FBorder.Inner, Value); }
void TKvCustomProgressBar::SetBorderOuter(TFrameStyleEx Value) { Change(FBorder.Outer, Value); }
void TKvCustomProgressBar::SetBorderWidth(int32_t Value) { Change(FBorder.BorderWidth, std::max(Value, 0)); }
void TKvCustomProgressBar::SetGradientDirection(TGradientDirection Value) { Change(FGradientDirection, Value); }
void TKvCustomProgressBar::SetInteriorOffset(uint8_t Value) { Change(FInteriorOffset, Value); }
void TKvCustomProgressBar::SetNumSegments(int32_t Value) { Change(FNumSegments, std::clamp(Value, 1, 100)); }
void TKvCustomProgressBar::SetShowPercent(bool Value) { Change(FShowPercent, Value); }

void TKvCustomProgressBar::SetBarColor(TColor Value) {
  if (Value == FBarColor) return;
  FBarColor = Value;
  Font()->SetColor(Value);
  Repaint();
}

void TKvCustomProgressBar::SetBarStyle(TBarStyle Value) {
  if (Value == FBarStyle) return;
  FBarStyle = Value;
  FShowPercent = Value != bsLED;
  FInteriorOffset = Value == bsLED ? 1 : 0;
  Repaint();
}

void TKvCustomProgressBar::SetFlatColor(TColor Value) {
  if (Value == FBorder.FlatColor) return;
  FBorder.FlatColor = Value;
  Invalidate();
}

void TKvCustomProgressBar::SetFlatColorAdjustment(int32_t Value) {
  if (Value == FBorder.FlatColorAdjustment) return;
  FBorder.FlatColorAdjustment = Value;
  Invalidate();
}

void TKvCustomProgressBar::SetThemeAware(bool Value) {
  if (Value == FThemeAware) return;
  FThemeAware = Value;
  Invalidate();
}

void TKvCustomProgressBar::SetPercent(uint16_t Value) {
  if (Value == FPercent) return;
  FPercent = Value;
  if (OnChange) OnChange(this, Value);
  Repaint();
}

void TKvCustomProgressBar::SetPartsComplete(int32_t Value) {
  FPartsComplete = std::clamp(Value, 0, FTotalParts);
  if (!Loading() && FTotalParts != 0)
    SetPercent(static_cast<uint16_t>(Round(static_cast<double>(FPartsComplete) / FTotalParts * 100)));
}

void TKvCustomProgressBar::SetTotalParts(int32_t Value) {
  Value = std::max(Value, 0);
  if (Value == FTotalParts) return;
  FTotalParts = Value;
  if (Loading()) return;
  FPartsComplete = 0;
  SetPercent(0);
}

void TKvCustomProgressBar::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  TGraphicControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  FOrientation = Height() > Width() ? orVertical : orHorizontal;
}

void TKvCustomProgressBar::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  FFrameLink.Notification(AComponent, Operation);
}

void TKvCustomProgressBar::FrameControllerChanged() {
  TKvFrameController* F = FFrameLink.VisibleFrame();
  if (!F) return;
  if (FFrameLink.Admits(fcpFrameStyle)) FBorder.Outer = F->FrameStyle();
  if (FFrameLink.Admits(fcpFrameColor)) {
    FBorder.FlatColor = F->FrameColor();
    FBorder.FlatColorAdjustment = 0;
  }
  if (FFrameLink.Admits(fcpColor)) FBackColor = F->Color();
  if (FFrameLink.Admits(fcpParentColor)) SetParentColor(F->ParentColor());
  Invalidate();
}

// ---------------------------------------------------------------------------
// Painting

std::string TKvCustomProgressBar::PercentText() const { return FShowPercent ? std::to_string(FPercent) + "%" : ""; }

void TKvCustomProgressBar::SplitInterior(const TRect& R, TRect& Filled, TRect& Rest) const {
  const bool Vertical = FOrientation == orVertical;
  const int32_t Length = Vertical ? R.Height() : R.Width();
  const int32_t Done =
      FPercent >= 100 ? Length : static_cast<int32_t>(Round(static_cast<double>(Length) * FPercent / 100));
  Filled = Rest = R;
  if (Vertical) {
    Filled.Top = R.Bottom - Done;
    Rest.Bottom = Filled.Top;
  } else {
    Filled.Right = R.Left + Done;
    Rest.Left = Filled.Right;
  }
}

void TKvCustomProgressBar::Paint() {
  const int32_t W = Width(), H = Height();
  if (W <= 0 || H <= 0) return;
  // In the format the control's image has, so that drawing it there is one copy.
  TBitmap Work;
  Work.SetPixelFormat(pf32bit);
  Work.SetSize(W, H);
  TCanvas* C = Work.Canvas();
  C->SetFont(Font());
  Fill(C, Rect(0, 0, W, H), FBorder.BorderColor);
  TControlBorder Border = FBorder;
  Border.ParentColor = Parent() ? Parent()->Color() : Color();
  Border.ControlColor = FBackColor;
  TRect Interior = PaintControlBorder(C, Rect(0, 0, W, H), Border);
  if (FInteriorOffset > 0) {
    C->Brush()->SetStyle(bsClear);
    C->Pen()->SetColor(FBackColor);
    C->Pen()->SetStyle(psInsideFrame);
    C->Pen()->SetWidth(FInteriorOffset);
    C->Rectangle(Interior);
    C->Pen()->SetStyle(psSolid);
    C->Pen()->SetWidth(1);
    InflateRect(Interior, -FInteriorOffset, -FInteriorOffset);
  }
  switch (FBarStyle) {
    case bsTraditional: PaintTraditional(C, Interior); break;
    case bsLED: PaintLED(C, Interior); break;
    case bsGradient: PaintGradient(C, Interior); break;
  }
  Canvas()->Draw(0, 0, &Work);
}

namespace {

// The percentage is centred in the interior; each part of the bar shows the text in its own colours.
struct TBarText {
  TBarText(TCanvas* C, const TRect& R, std::string T)
      : Canvas(C), X((R.Left + R.Right) / 2), Y(R.Top + (R.Height() - C->TextHeight("X")) / 2), Text(std::move(T)) {
    Canvas->SetTextAlign(TA_CENTER | TA_TOP);
  }
  void Draw(const TRect& Part, TColor Color) const {
    Canvas->Font()->SetColor(Color);
    Canvas->TextRect(Part, X, Y, Text);
  }
  TCanvas* Canvas;
  int32_t X, Y;
  std::string Text;
};

}  // namespace

void TKvCustomProgressBar::PaintTraditional(TCanvas* C, const TRect& R) {
  TRect Filled, Rest;
  SplitInterior(R, Filled, Rest);
  const TBarText Text(C, R, PercentText());
  C->Brush()->SetStyle(bsSolid);
  C->Brush()->SetColor(FBarColor);
  Text.Draw(Filled, FBackColor);
  C->Brush()->SetColor(FBackColor);
  Text.Draw(Rest, FBarColor);
}

void TKvCustomProgressBar::PaintGradient(TCanvas* C, const TRect& R) {
  TRect Filled, Rest;
  SplitInterior(R, Filled, Rest);
  const TBarText Text(C, R, PercentText());
  C->Brush()->SetStyle(bsClear);
  FillGradientRect(C, Filled, FGradientDirection, 1, FBarColorStop, FBarColor);
  if (!Text.Text.empty()) Text.Draw(Filled, FBackColor);
  FillGradientRect(C, Rest, FGradientDirection, 1, FBackColorStop, FBackColor);
  if (!Text.Text.empty()) Text.Draw(Rest, FBarColor);
}

void TKvCustomProgressBar::PaintLED(TCanvas* C, const TRect& R) {
  const bool Vertical = FOrientation == orVertical;
  const int32_t L = Vertical ? R.Height() : R.Width();
  const int32_t N = L <= ShortBar && FNumSegments > ShortBarSegments ? ShortBarSegments : FNumSegments;
  const int32_t S = L / N;
  // Too short for a segment of a pixel: an empty bar rather than none at all.
  if (S < 1) return Fill(C, R, FBackColor);
  const int32_t Count = N + std::max(0, (L - N * S) / S);
  const int32_t Margin = (L - Count * S) / 2;
  if (Vertical) {
    Fill(C, Rect(R.Left, R.Top, R.Right, R.Top + Margin + 1), FBackColor);
    Fill(C, Rect(R.Left, R.Bottom - Margin - 1, R.Right, R.Bottom), FBackColor);
  } else {
    Fill(C, Rect(R.Left, R.Top, R.Left + Margin + 1, R.Bottom), FBackColor);
    Fill(C, Rect(R.Right - Margin - 1, R.Top, R.Right, R.Bottom), FBackColor);
  }
  C->Pen()->SetColor(FBackColor);
  C->Pen()->SetStyle(psSolid);
  C->Pen()->SetWidth(1);
  // Never more lit segments than there are, whatever Percent holds.
  const int32_t Lit = std::min(Count, static_cast<int32_t>(int64_t{FPercent} * Count / 100));
  for (int32_t I = 1; I <= Count; ++I) {
    C->Brush()->SetColor(I <= Lit ? FBarColor : FBackColor);
    if (Vertical) {
      const int32_t Y = R.Top + Margin + (Count - I) * S;
      C->Rectangle(R.Left, Y, R.Right, Y + S);
    } else {
      const int32_t X = R.Left + Margin + (I - 1) * S;
      C->Rectangle(X, R.Top, X + S, R.Bottom);
    }
  }
}
