// KvCommon: the glyphs drawn pixel by pixel.
#include "widgets/KvCommon.h"
#include "widgets/KvGrafx.h"

namespace {

// Keeps the brush colour and style and the pen style of a canvas while a glyph is drawn.
class TGlyphPen {
public:
  TGlyphPen(TCanvas* Canvas, TColor Color)
      : FCanvas(Canvas), FBrushColor(Canvas->Brush()->Color()), FBrushStyle(Canvas->Brush()->Style()),
        FPenStyle(Canvas->Pen()->Style()) {
    Canvas->Brush()->SetColor(Color);
    Canvas->Brush()->SetStyle(bsSolid);
    Canvas->Pen()->SetStyle(psClear);
  }
  ~TGlyphPen() {
    FCanvas->Brush()->SetColor(FBrushColor);
    FCanvas->Brush()->SetStyle(FBrushStyle);
    FCanvas->Pen()->SetStyle(FPenStyle);
  }
  TGlyphPen(const TGlyphPen&) = delete;
  TGlyphPen& operator=(const TGlyphPen&) = delete;

private:
  TCanvas* FCanvas;
  TColor FBrushColor;
  TBrushStyle FBrushStyle;
  TPenStyle FPenStyle;
};

TColor GlyphColor(bool Enabled) { return Enabled ? clBlack : clBtnShadow; }

// The centre the arrow glyphs are placed by: the middle, one row up for an even height.
TPoint GlyphCenter(const TRect& R) {
  const int32_t H = R.Height();
  return {R.Left + R.Width() / 2, R.Top + H / 2 - (H % 2 == 0 ? 1 : 0)};
}

// The 1-3-5-7 pixel triangle: Apex at its point, Base where the seven pixels lie, along
// rows (up and down) or columns (left and right).
void PaintTriangle(TCanvas* Canvas, TPoint Apex, bool Vertical, int32_t Toward) {
  for (int32_t I = 0; I < 4; ++I) {
    const int32_t Along = -I * Toward;  // rows (or columns) away from the apex
    if (Vertical)
      Canvas->FillRect(Rect(Apex.X - I, Apex.Y + Along, Apex.X + I + 1, Apex.Y + Along + 1));
    else
      Canvas->FillRect(Rect(Apex.X + Along, Apex.Y - I, Apex.X + Along + 1, Apex.Y + I + 1));
  }
}

}  // namespace

void PaintDropDownArrow(TCanvas* Canvas, const TRect& R, bool, bool Enabled, bool Pressed) {
  TGlyphPen Pen(Canvas, GlyphColor(Enabled));
  TPoint C = GlyphCenter(R);
  C.Y += 2;
  if (Pressed) {
    ++C.X;
    ++C.Y;
  }
  PaintTriangle(Canvas, C, true, 1);
}

void PaintArrowButton(TCanvas* Canvas, const TRect& R, bool, bool Enabled, bool Pressed, int32_t Direction) {
  TGlyphPen Pen(Canvas, GlyphColor(Enabled));
  TPoint C = GlyphCenter(R);
  const bool Vertical = Direction == 0 || Direction == 1;
  if (Vertical)
    C.Y += 1;
  else
    C.X -= 2;
  if (Pressed && Enabled) {
    ++C.X;
    ++C.Y;
  }
  // The glyph covers rows cy-3..cy (up, down) or columns cx..cx+3 (left, right).
  switch (Direction) {
    case 0: PaintTriangle(Canvas, {C.X, C.Y - 3}, true, -1); break;
    case 1: PaintTriangle(Canvas, C, true, 1); break;
    case 2: PaintTriangle(Canvas, C, false, -1); break;
    default: PaintTriangle(Canvas, {C.X + 3, C.Y}, false, 1); break;
  }
}

void PaintCloseButton(TCanvas* Canvas, const TRect& R, bool, bool Enabled, bool Pressed) {
  TGlyphPen Pen(Canvas, GlyphColor(Enabled));
  TPoint C = GlyphCenter(R);
  if (Pressed) ++C.Y;
  const int32_t X = C.X, Y = C.Y;
  Canvas->Polygon({{X, Y - 1}, {X + 3, Y - 4}, {X + 5, Y - 4}, {X + 5, Y - 3}, {X + 2, Y}, {X + 5, Y + 4},
                   {X + 5, Y + 5}, {X + 3, Y + 5}, {X, Y + 1}, {X - 3, Y + 5}, {X - 4, Y + 5}, {X - 4, Y + 3},
                   {X - 1, Y}, {X - 4, Y - 3}, {X - 4, Y - 4}, {X - 3, Y - 5}});
}

void PaintGradientRing(TCanvas* Canvas, const TRect& R, TGradientDirection Direction, TColor EndColor,
                       TColor StartColor) {
  if (!HighColorScreen()) return;
  const int32_t Saved = Canvas->SaveDC();
  Canvas->ExcludeClipRect(R.Left + 2, R.Top + 2, R.Right - 2, R.Bottom - 2);
  FillGradientRect(Canvas, R, Direction, 1, EndColor, StartColor);
  Canvas->RestoreDC(Saved);
}

namespace {

TColor GlyphFill(const TGlyphColors& C, TGlyphDrawState DrawState) {
  if (DrawState == gdsDown) return DimColor(C.FocusedFill, 20);
  if (DrawState == gdsDisabled) return C.DisabledFill;
  if (C.Focused) return C.Flag1 && C.Flag2 ? C.AlternateFill : C.FocusedFill;
  return C.Flag2 ? C.AlternateFill : C.UnfocusedFill;
}

TColor MarkColor(const TGlyphColors& C, TGlyphDrawState DrawState) {
  return DrawState == gdsDisabled ? TColor(clBtnShadow) : C.Mark;
}

void FillBox(TCanvas* Canvas, const TRect& R, TColor Color) {
  Canvas->Brush()->SetColor(Color);
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->FillRect(R);
}

}  // namespace

void PaintCheckBoxGlyph(TCanvas* Canvas, const TRect& R, int32_t State, const TGlyphColors& C,
                        TGlyphDrawState DrawState) {
  const bool HotFrame = DrawState == gdsHot && C.HotStyle == 1;
  const TRect Inside = PaintOutlineBox(Canvas, R, HotFrame ? C.Hot1 : C.Frame);
  FillBox(Canvas, Inside, GlyphFill(C, DrawState));
  const TColor Mark = MarkColor(C, DrawState);
  if (State == 1) {
    // The tick: seven columns of three pixels, down to the fourth, then up.
    static constexpr int32_t FirstRow[] = {5, 6, 7, 6, 5, 4, 3};
    const int32_t X0 = Inside.Left - 1, Y0 = Inside.Top - 1;
    for (int32_t I = 0; I < 7; ++I) FillBox(Canvas, Bounds(X0 + 3 + I, Y0 + FirstRow[I], 1, 3), Mark);
  } else if (State == 2) {
    TRect Gray = Inside;
    InflateRect(Gray, -2, -2);
    FillBox(Canvas, Gray, Mark);
  }
  if (DrawState == gdsHot) {
    if (C.HotStyle == 0)
      PaintGradientRing(Canvas, R, gdDiagonalDown, C.Hot1, C.Hot2);
    else
      PaintOutlineBox(Canvas, R, C.Hot1);
  }
}

namespace {

struct TPixel {
  int8_t X, Y;
};

// The radio glyph's pixel sets on its 13 x 13 cell.
constexpr TPixel OutsideCircle[] = {{0, 0},  {1, 0},  {2, 0},   {10, 0},  {11, 0},  {12, 0}, {0, 1},   {1, 1},
                                    {11, 1}, {12, 1}, {0, 2},   {12, 2},  {0, 10},  {12, 10}, {0, 11}, {1, 11},
                                    {11, 11}, {12, 11}, {0, 12}, {1, 12}, {2, 12},  {10, 12}, {11, 12}, {12, 12}};
constexpr TPixel OutlineR[] = {{6, 0}, {3, 1},  {9, 1},  {1, 3},  {11, 3}, {0, 6},
                               {12, 6}, {1, 9}, {11, 9}, {3, 11}, {9, 11}, {6, 12}};
constexpr TPixel OutlineR2[] = {{5, 0}, {7, 0},  {2, 2},  {10, 2}, {0, 5},   {12, 5},
                                {0, 7}, {12, 7}, {2, 10}, {10, 10}, {5, 12}, {7, 12}};
constexpr TPixel OutlineC1[] = {{4, 0}, {8, 0},  {2, 1}, {10, 1}, {1, 2},  {11, 2},  {0, 4},  {12, 4},
                                {0, 8}, {12, 8}, {1, 10}, {11, 10}, {2, 11}, {10, 11}, {4, 12}, {8, 12}};
constexpr TPixel OutlineC2[] = {{3, 0}, {9, 0}, {0, 3}, {12, 3}, {0, 9}, {12, 9}, {3, 12}, {9, 12}};
// The inner edge: the first eight pixels take R (weight 128), the next sixteen silver
// (weight 80), the last four only a weight-40 blend.
constexpr TPixel EdgeR[] = {{4, 1}, {8, 1}, {1, 4}, {11, 4}, {1, 8}, {11, 8}, {4, 11}, {8, 11}};
constexpr TPixel EdgeSilver[] = {{5, 1}, {7, 1}, {3, 2},  {9, 2},   {2, 3}, {10, 3}, {1, 5},  {11, 5},
                                 {1, 7}, {11, 7}, {2, 9}, {10, 9}, {3, 10}, {9, 10}, {5, 11}, {7, 11}};
constexpr TPixel EdgeLight[] = {{6, 1}, {1, 6}, {11, 6}, {6, 11}};
// The hot frame's inner edge.
constexpr TPixel HotEdge150[] = {{3, 2}, {9, 2}, {2, 3}, {10, 3}, {2, 9}, {10, 9}, {3, 10}, {9, 10}};
constexpr TPixel HotEdge80[] = {{4, 2}, {8, 2}, {2, 4}, {10, 4}, {2, 8}, {10, 8}, {4, 10}, {8, 10}};
constexpr TPixel HotR2[] = {{5, 1}, {6, 1}, {7, 1}, {1, 5}, {1, 6}, {1, 7}, {11, 5}, {11, 6}, {11, 7}, {5, 11}, {6, 11}, {7, 11}};
constexpr TPixel HotR[] = {{4, 1}, {8, 1}, {1, 4}, {1, 8}, {11, 4}, {11, 8}, {4, 11}, {8, 11}};
constexpr TPixel DotM2[] = {{5, 4}, {7, 4}, {4, 5}, {8, 5}, {4, 7}, {8, 7}, {5, 8}, {7, 8}};
constexpr TPixel DotM[] = {{5, 5}, {6, 5}, {7, 5}, {5, 6}, {6, 6}, {7, 6}, {5, 7}, {6, 7}, {7, 7},
                           {6, 4}, {4, 6}, {8, 6}, {6, 8}};

template <size_t N>
void SetPixels(TCanvas* Canvas, const TPixel (&Pixels)[N], TColor Color) {
  for (const TPixel& P : Pixels) Canvas->SetPixel(P.X, P.Y, Color);
}

template <size_t N>
void BlendPixels(TCanvas* Canvas, const TPixel (&Pixels)[N], TColor Color, uint8_t Weight) {
  for (const TPixel& P : Pixels) Canvas->SetPixel(P.X, P.Y, MixColors(Color, Canvas->Pixels(P.X, P.Y), Weight));
}

}  // namespace

void PaintRadioButtonGlyph(TCanvas* Canvas, const TRect& R, bool Checked, const TGlyphColors& C, TColor TransparentKey,
                           bool Transparent, TColor ControlColor, TGlyphDrawState DrawState) {
  constexpr int32_t Size = 13;
  TBitmap Cell(Size, Size);
  TCanvas* G = Cell.Canvas();
  const bool High = HighColorScreen();
  const bool HotFrame = DrawState == gdsHot && C.HotStyle == 1;
  FillBox(G, Rect(0, 0, Size, Size), GlyphFill(C, DrawState));
  const TColor Ring = HotFrame ? C.Hot1 : C.Frame;
  const TColor Ring2 = High ? BrightenColor(Ring, 10) : Ring;
  const TColor Back = Transparent ? TransparentKey : ControlColor;
  if (DrawState == gdsHot && High) {
    if (HotFrame) {
      SetPixels(G, HotR2, Ring2);
      SetPixels(G, HotR, Ring);
    } else {
      // Only a ring between the outline and the dot gets the gradient.
      const int32_t Saved = G->SaveDC();
      G->ExcludeClipRect(4, 4, 9, 9);
      G->ExcludeClipRect(5, 3, 8, 10);
      G->ExcludeClipRect(3, 5, 10, 8);
      FillGradientRect(G, Rect(0, 0, Size, Size), gdDiagonalDown, 1, C.Hot1, C.Hot2);
      G->RestoreDC(Saved);
    }
  }
  SetPixels(G, OutsideCircle, Back);
  TColor C1 = Ring, C2 = Back;
  if (Transparent) {
    C1 = C2 = TransparentKey;
  } else if (High) {
    C1 = MixColors(Ring, Back, 128);
    C2 = MixColors(Ring, Back, 40);
  }
  SetPixels(G, OutlineR, Ring);
  SetPixels(G, OutlineR2, Ring2);
  SetPixels(G, OutlineC1, C1);
  SetPixels(G, OutlineC2, C2);
  if (!High) {
    SetPixels(G, EdgeR, Ring);
    SetPixels(G, EdgeSilver, clSilver);
  } else if (HotFrame) {
    BlendPixels(G, HotEdge150, Ring, 150);
    BlendPixels(G, HotEdge80, Ring, 80);
  } else {
    BlendPixels(G, EdgeR, Ring, 128);
    BlendPixels(G, EdgeSilver, Ring, 80);
    BlendPixels(G, EdgeLight, Ring, 40);
  }
  if (Checked) {
    const TColor M = MarkColor(C, DrawState);
    const TColor M2 = High ? MixColors(M, G->Pixels(4, 4), 153) : M;
    SetPixels(G, DotM, M);
    SetPixels(G, DotM2, M2);
  }
  Canvas->Draw(R.Left, R.Top, &Cell);
}
