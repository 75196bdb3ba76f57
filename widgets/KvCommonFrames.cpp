// KvCommon: frame and border painting.
#include "platform/gui/StdCtrls.h"
#include "widgets/KvCommon.h"

namespace {

struct TBevelPass {
  TColor TopLeft, BottomRight;
};

// Outer and inner pass of the classic bevels.
constexpr TBevelPass EdgeBevels[2][2] = {
    {{cl3DLight, cl3DDkShadow}, {clBtnHighlight, clBtnShadow}},  // raised
    {{clBtnShadow, clBtnHighlight}, {cl3DDkShadow, cl3DLight}},  // sunken
};
constexpr TBevelPass ButtonBevels[2][2] = {
    {{clBtnHighlight, cl3DDkShadow}, {cl3DLight, clBtnShadow}},  // up
    {{clBtnText, clBtnText}, {clBtnShadow, clBtnShadow}},        // down
};

TBevelPass StyleColors(TFrameStyleEx Style) {
  switch (Style) {
    case fsFlat: return {cl3DDkShadow, cl3DDkShadow};
    case fsGroove:
    case fsStatus: return {clBtnShadow, clBtnHighlight};
    case fsBump:
    case fsPopup: return {clBtnHighlight, clBtnShadow};
    case fsFlatBold: return {clBtnShadow, clBtnShadow};
    default: return {clNone, clNone};
  }
}

TRect PaintPasses(TCanvas* Canvas, TRect R, const TBevelPass (&Passes)[2], TSides Sides) {
  R = PaintRectSides(Canvas, R, Passes[0].TopLeft, Sides, Passes[0].BottomRight);
  return PaintRectSides(Canvas, R, Passes[1].TopLeft, Sides, Passes[1].BottomRight);
}

void Line(TCanvas* Canvas, TColor Color, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  Canvas->Pen()->SetColor(Color);
  Canvas->MoveTo(X1, Y1);
  Canvas->LineTo(X2, Y2);
}

// The two-pixel etched line of the groove and bump styles: A outside on the top-left
// and inside on the bottom-right, B the other way round.
TRect PaintEtched(TCanvas* Canvas, TRect R, TColor A, TColor B, TSides Sides) {
  const bool L = Sides & sdsLeft, T = Sides & sdsTop, Rt = Sides & sdsRight, Bm = Sides & sdsBottom;
  // The corner pixels the two passes leave out.
  if (Rt) Canvas->SetPixel(R.Right - 1, R.Top, B);
  if (T && !Rt) Canvas->SetPixel(R.Right - 1, R.Top, A);
  if (Bm) Canvas->SetPixel(R.Left, R.Bottom - 1, B);
  if (L && !Bm) Canvas->SetPixel(R.Left, R.Bottom - 1, A);
  if (T && !L) Canvas->SetPixel(R.Left, R.Top + 1, B);
  if (L && !T) Canvas->SetPixel(R.Left + 1, R.Top, B);
  if (Bm && !Rt) Canvas->SetPixel(R.Right - 1, R.Bottom - 2, A);
  if (Rt && !Bm) Canvas->SetPixel(R.Right - 2, R.Bottom - 1, A);
  PaintRectSides(Canvas, Rect(R.Left + 1, R.Top + 1, R.Right, R.Bottom), B, Sides, B);
  PaintRectSides(Canvas, Rect(R.Left, R.Top, R.Right - 1, R.Bottom - 1), A, Sides, A);
  return InsetSides(R, Sides, 2);
}

}  // namespace

TRect InsetSides(TRect R, TSides Sides, int32_t By) {
  if (Sides & sdsLeft) R.Left += By;
  if (Sides & sdsTop) R.Top += By;
  if (Sides & sdsRight) R.Right -= By;
  if (Sides & sdsBottom) R.Bottom -= By;
  return R;
}

TRect PaintRectSides(TCanvas* Canvas, TRect R, TColor TopLeft, TSides Sides, TColor BottomRight) {
  if (TopLeft != clNone) {
    if (Sides & sdsLeft) Line(Canvas, TopLeft, R.Left, R.Top, R.Left, R.Bottom);
    if (Sides & sdsTop) Line(Canvas, TopLeft, R.Left, R.Top, R.Right, R.Top);
  }
  if (BottomRight != clNone) {
    if (Sides & sdsRight) Line(Canvas, BottomRight, R.Right - 1, R.Top, R.Right - 1, R.Bottom);
    if (Sides & sdsBottom) Line(Canvas, BottomRight, R.Left, R.Bottom - 1, R.Right, R.Bottom - 1);
  }
  return InsetSides(R, Sides, 1);
}

TRect PaintRectSidesN(TCanvas* Canvas, TRect R, TColor TopLeft, TSides Sides, int32_t Width, TColor BottomRight) {
  Canvas->Pen()->SetWidth(1);
  for (int32_t I = 0; I < Width; ++I) R = PaintRectSides(Canvas, R, TopLeft, Sides, BottomRight);
  return R;
}

TRect PaintEdgeBevel(TCanvas* Canvas, TRect R, int32_t Kind, TSides Sides) {
  return PaintPasses(Canvas, R, EdgeBevels[Kind == 0 ? 0 : 1], Sides);
}

TRect PaintButtonBevel(TCanvas* Canvas, TRect R, int32_t Kind, TSides Sides) {
  return PaintPasses(Canvas, R, ButtonBevels[Kind == 0 ? 0 : 1], Sides);
}

TRect PaintButtonBevelRect(TCanvas* Canvas, TRect R, int32_t Kind) { return PaintButtonBevel(Canvas, R, Kind, sdsAll); }

TRect PaintColorBevel(TCanvas* Canvas, TRect R, TColor Color, TSides Sides, bool Pressed) {
  if (Pressed) {
    const TBevelPass Passes[2] = {{DimColor(Color, 100), DimColor(Color, 100)}, {DimColor(Color, 50), DimColor(Color, 50)}};
    return PaintPasses(Canvas, R, Passes, Sides);
  }
  const TBevelPass Passes[2] = {{BrightenColor(Color, 100), DimColor(Color, 100)},
                                {BrightenColor(Color, 40), DimColor(Color, 50)}};
  return PaintPasses(Canvas, R, Passes, Sides);
}

TRect PaintColorBevelRect(TCanvas* Canvas, TRect R, TColor Color, bool Pressed) {
  return PaintColorBevel(Canvas, R, Color, sdsAll, Pressed);
}

TRect PaintStyledFrame(TCanvas* Canvas, TRect R, TFrameStyleEx Style, TSides Sides) {
  const TBevelPass C = StyleColors(Style);
  switch (Style) {
    case fsFlat:
    case fsStatus:
    case fsPopup: return PaintRectSides(Canvas, R, C.TopLeft, Sides, C.BottomRight);
    case fsFlatBold: return PaintRectSidesN(Canvas, R, C.TopLeft, Sides, 2, C.BottomRight);
    case fsLowered: return PaintEdgeBevel(Canvas, R, 1, Sides);
    case fsRaised: return PaintEdgeBevel(Canvas, R, 0, Sides);
    case fsButtonDown: return PaintButtonBevel(Canvas, R, 1, Sides);
    case fsButtonUp: return PaintButtonBevel(Canvas, R, 0, Sides);
    case fsGroove:
    case fsBump: return PaintEtched(Canvas, R, C.TopLeft, C.BottomRight, Sides);
    default: return R;
  }
}

TRect PaintStyledFrameRect(TCanvas* Canvas, TRect R, TFrameStyleEx Style) {
  return PaintStyledFrame(Canvas, R, Style, sdsAll);
}

TRect PaintColoredStyledFrame(TCanvas* Canvas, TRect R, TColor Color, TSides Sides, TFrameStyleEx Style) {
  const TColor Dim50 = DimColor(Color, 50), Bright100 = BrightenColor(Color, 100);
  switch (Style) {
    case fsFlat: return PaintRectSides(Canvas, R, Dim50, Sides, Dim50);
    case fsStatus: return PaintRectSides(Canvas, R, Dim50, Sides, Bright100);
    case fsPopup: return PaintRectSides(Canvas, R, Bright100, Sides, Dim50);
    case fsFlatBold: return PaintRectSidesN(Canvas, R, Dim50, Sides, 2, Dim50);
    case fsLowered: {
      const TBevelPass Passes[2] = {{Dim50, Bright100}, {DimColor(Color, 100), BrightenColor(Color, 50)}};
      return PaintPasses(Canvas, R, Passes, Sides);
    }
    case fsRaised: {
      const TBevelPass Passes[2] = {{BrightenColor(Color, 50), DimColor(Color, 100)}, {Bright100, Dim50}};
      return PaintPasses(Canvas, R, Passes, Sides);
    }
    case fsButtonDown:
    case fsButtonUp: return PaintColorBevel(Canvas, R, Color, Sides, Style == fsButtonDown);
    case fsGroove: return PaintEtched(Canvas, R, Dim50, Bright100, Sides);
    case fsBump:
    case fsFlatRounded: return PaintEtched(Canvas, R, Bright100, Dim50, Sides);
    default: return R;
  }
}

TRect PaintColoredStyledFrameRect(TCanvas* Canvas, TRect R, TColor Color, TFrameStyleEx Style) {
  return PaintColoredStyledFrame(Canvas, R, Color, sdsAll, Style);
}

void FillSolidRect(TCanvas* Canvas, const TRect& R, TColor Color) {
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(Color);
  Canvas->FillRect(R);
}

TRect PaintOutlineBox(TCanvas* Canvas, TRect R, TColor Color) {
  Canvas->Pen()->SetWidth(1);
  return PaintRectSides(Canvas, R, Color, sdsAll, Color);
}

TRect PaintCornerMarks(TCanvas* Canvas, TRect R, TColor Color, int32_t Length) {
  const int32_t L = R.Left, T = R.Top, Rt = R.Right, B = R.Bottom, N = Length;
  Canvas->Pen()->SetColor(Color);
  Canvas->Pen()->SetWidth(1);
  Canvas->Polyline({{L, T + N - 1}, {L, T}, {L + N, T}});
  Canvas->Polyline({{Rt - N, T}, {Rt - 1, T}, {Rt - 1, T + N}});
  Canvas->Polyline({{Rt - 1, B - N}, {Rt - 1, B - 1}, {Rt - 1 - N, B - 1}});
  Canvas->Polyline({{L + N - 1, B - 1}, {L, B - 1}, {L, B - 1 - N}});
  InflateRect(R, -1, -1);
  return R;
}

TRect PaintDottedFocus(TCanvas* Canvas, TRect R) {
  for (int32_t Y = R.Top + 1; Y < R.Bottom; Y += 2) {
    Canvas->SetPixel(R.Left, Y, clBlack);
    Canvas->SetPixel(R.Right - 1, Y, clBlack);
  }
  for (int32_t X = R.Left + 1; X < R.Right; X += 2) {
    Canvas->SetPixel(X, R.Top, clBlack);
    Canvas->SetPixel(X, R.Bottom - 1, clBlack);
  }
  InflateRect(R, -1, -1);
  return R;
}

TRect PaintRoundedSides(TCanvas* Canvas, TRect R, TColor Color, TSides Sides) {
  const bool L = Sides & sdsLeft, T = Sides & sdsTop, Rt = Sides & sdsRight, B = Sides & sdsBottom;
  const int32_t Top = T ? R.Top + 2 : R.Top, Bottom = B ? R.Bottom - 2 : R.Bottom;
  const int32_t Left = L ? R.Left + 2 : R.Left, Right = Rt ? R.Right - 2 : R.Right;
  Canvas->Pen()->SetWidth(1);
  if (L) Line(Canvas, Color, R.Left, Top, R.Left, Bottom);
  if (T) Line(Canvas, Color, Left, R.Top, Right, R.Top);
  if (Rt) Line(Canvas, Color, R.Right - 1, Top, R.Right - 1, Bottom);
  if (B) Line(Canvas, Color, Left, R.Bottom - 1, Right, R.Bottom - 1);
  if (L && T) Canvas->SetPixel(R.Left + 1, R.Top + 1, Color);
  if (T && Rt) Canvas->SetPixel(R.Right - 2, R.Top + 1, Color);
  if (Rt && B) Canvas->SetPixel(R.Right - 2, R.Bottom - 2, Color);
  if (B && L) Canvas->SetPixel(R.Left + 1, R.Bottom - 2, Color);
  return InsetSides(R, Sides, 2);
}

int32_t FrameStyleInset(TFrameStyleEx Style, int32_t BevelWidth) {
  switch (Style) {
    case fsNone: return 0;
    case fsFlat: return 1;
    case fsStatus:
    case fsPopup: return BevelWidth;
    default: return 2;
  }
}

namespace {

// One style of PaintControlBorder (outer or inner).
TRect PaintBorderStyle(TCanvas* Canvas, TRect R, TFrameStyleEx Style, const TControlBorder& B, bool Inner) {
  const TColor FC = AdjustLuminance(B.FlatColor, B.FlatColorAdjustment);
  switch (Style) {
    case fsFlat:
      if (Inner && B.CornerlessInnerFlat) {
        // All four sides whatever the mask, the corner pixels left unpainted.
        Canvas->Pen()->SetWidth(1);
        Line(Canvas, FC, R.Left, R.Top + 1, R.Left, R.Bottom - 1);
        Line(Canvas, FC, R.Left + 1, R.Top, R.Right - 1, R.Top);
        Line(Canvas, FC, R.Right - 1, R.Top + 1, R.Right - 1, R.Bottom - 1);
        Line(Canvas, FC, R.Left + 1, R.Bottom - 1, R.Right - 1, R.Bottom - 1);
        InflateRect(R, -1, -1);
        return R;
      }
      return PaintRectSidesN(Canvas, R, FC, B.Sides, 1, FC);
    case fsFlatBold: return PaintRectSidesN(Canvas, R, FC, B.Sides, 2, FC);
    case fsFlatRounded: {
      const bool Bordered = B.BorderWidth > 0 || B.Inner != fsNone;
      // Rings under the rounded corners: what shows outside and just inside the curve.
      if (!B.Transparent) {
        const TColor Outside = Inner ? B.BorderColor : B.ParentColor;
        const TColor InsideRing = Inner || !Bordered ? B.ControlColor : B.BorderColor;
        const TRect Ring = PaintRectSidesN(Canvas, R, Outside, B.Sides, 1, Outside);
        PaintRectSidesN(Canvas, Ring, InsideRing, B.Sides, 1, InsideRing);
      } else if (Inner) {
        PaintRectSidesN(Canvas, R, B.BorderColor, B.Sides, 1, B.BorderColor);
      } else if (Bordered) {
        TRect Ring = R;
        InflateRect(Ring, -1, -1);
        PaintRectSidesN(Canvas, Ring, B.BorderColor, B.Sides, 1, B.BorderColor);
      }
      return PaintRoundedSides(Canvas, R, FC, B.Sides);
    }
    case fsPopup: return PaintRectSidesN(Canvas, R, B.HighlightColor, B.Sides, B.BevelWidth, B.ShadowColor);
    case fsStatus: return PaintRectSidesN(Canvas, R, B.ShadowColor, B.Sides, B.BevelWidth, B.HighlightColor);
    default: return PaintStyledFrame(Canvas, R, Style, B.Sides);
  }
}

}  // namespace

TRect PaintControlBorder(TCanvas* Canvas, TRect R, const TControlBorder& Border) {
  R = PaintBorderStyle(Canvas, R, Border.Outer, Border, false);
  if (Border.BorderWidth > 0)
    R = PaintRectSidesN(Canvas, R, Border.BorderColor, Border.Sides, Border.BorderWidth, Border.BorderColor);
  return PaintBorderStyle(Canvas, R, Border.Inner, Border, true);
}

void PaintEditFrame(TCanvas* Canvas, int32_t Width, int32_t Height, bool SkipClearing, TSides Sides, TColor FrameColor,
                    TColor ControlColor, TFrameStyleEx Style) {
  const TRect R = Rect(0, 0, Width, Height);
  if (!SkipClearing) PaintRectSidesN(Canvas, R, ControlColor, sdsAll, 2, ControlColor);
  Canvas->Pen()->SetWidth(1);
  if (Style == fsFlat)
    PaintRectSides(Canvas, R, FrameColor, Sides, FrameColor);
  else if (Style == fsFlatBold)
    PaintRectSidesN(Canvas, R, FrameColor, Sides, 2, FrameColor);
  else if (ControlColor != clWindow)
    PaintColoredStyledFrame(Canvas, R, ControlColor, Sides, Style);
  else
    PaintStyledFrame(Canvas, R, Style, Sides);
}

void RedrawNonClientFrame(TWinControl* Control, const TRect& R) {
  // The frame band is part of the control's own painting here.
  if (Control && Control->Showing() && !IsRectEmpty(R)) Control->Invalidate();
}

void InvalidateTransparentChildren(TWinControl* Control) {
  for (int32_t I = 0; I < Control->ControlCount(); ++I) {
    TControl* Child = Control->Controls(I);
    bool Transparent = false;
    if (const auto* T = dynamic_cast<const IKvTransparentControl*>(Child))
      Transparent = T->IsTransparent();
    else if (const auto* L = dynamic_cast<const TCustomLabel*>(Child))
      Transparent = L->Transparent();
    if (Transparent) Child->Invalidate();
  }
}
