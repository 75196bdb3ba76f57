// Frame, border and glyph painting as pixel facts: returned rectangles, corner pixels
// from the style colour tables, nothing drawn outside the rectangle.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include "widgets/KvCommon.h"

using namespace widgettest;
using testsupport::ColorBounds;
using testsupport::CountColor;

namespace {

// A background no system colour uses.
constexpr TColor Paper = RGB(1, 2, 3);
const TRect Box = Rect(5, 5, 25, 21);

TRect Deflated(TRect R, int32_t By) {
  InflateRect(R, -By, -By);
  return R;
}

}  // namespace

TEST(KvFrames, EveryStyleInsetsAndCornerPixels) {
  struct TCase {
    TFrameStyleEx Style;
    TColor Base;  // clNone: the system colours; else the shades of this colour
    int32_t Inset;
    TColor TopLeft, TopRight, BottomLeft, BottomRight, Inner;  // Inner: the pixel at (Left+1, Top+1)
  };
  const TColor Hi = clBtnHighlight, Sh = clBtnShadow, Dk = cl3DDkShadow, Lt = cl3DLight, Tx = clBtnText, N = clNone;
  const TColor Base = RGB(100, 150, 200);
  const TColor D50 = DimColor(Base, 50), D100 = DimColor(Base, 100), B50 = BrightenColor(Base, 50),
               B100 = BrightenColor(Base, 100), B40 = BrightenColor(Base, 40);
  const TCase Cases[] = {
      {fsNone, N, 0, Paper, Paper, Paper, Paper, Paper},  {fsFlat, N, 1, Dk, Dk, Dk, Dk, Paper},
      {fsGroove, N, 2, Sh, Hi, Hi, Hi, Hi},               {fsBump, N, 2, Hi, Sh, Sh, Sh, Sh},
      {fsLowered, N, 2, Sh, Hi, Hi, Hi, Dk},              {fsButtonDown, N, 2, Tx, Tx, Tx, Tx, Sh},
      {fsRaised, N, 2, Lt, Dk, Dk, Dk, Hi},               {fsButtonUp, N, 2, Hi, Dk, Dk, Dk, Lt},
      {fsStatus, N, 1, Sh, Hi, Hi, Hi, Paper},            {fsPopup, N, 1, Hi, Sh, Sh, Sh, Paper},
      {fsFlatBold, N, 2, Sh, Sh, Sh, Sh, Sh},
      {fsStatus, Base, 1, D50, B100, B100, B100, Paper},  {fsLowered, Base, 2, D50, B100, B100, B100, D100},
      {fsRaised, Base, 2, B50, D100, D100, D100, B100},   {fsButtonUp, Base, 2, B100, D100, D100, D100, B40},
      {fsButtonDown, Base, 2, D100, D100, D100, D100, D50}, {fsGroove, Base, 2, D50, B100, B100, B100, B100},
  };
  for (const TCase& C : Cases) {
    const std::string Name = std::to_string(C.Style) + (C.Base == N ? "" : " coloured");
    auto Paint = [&](TCanvas* Canvas, TSides Sides) {
      return C.Base == N ? PaintStyledFrame(Canvas, Box, C.Style, Sides)
                         : PaintColoredStyledFrame(Canvas, Box, C.Base, Sides, C.Style);
    };
    TSheet S(30, 26, Paper);
    const TRect Inner = Paint(&S.Canvas, sdsAll);
    EXPECT_EQ(Inner, Deflated(Box, C.Inset)) << Name;
    EXPECT_EQ(S.At(5, 5), RGBOf(C.TopLeft)) << Name;
    EXPECT_EQ(S.At(24, 5), RGBOf(C.TopRight)) << Name;
    EXPECT_EQ(S.At(5, 20), RGBOf(C.BottomLeft)) << Name;
    EXPECT_EQ(S.At(24, 20), RGBOf(C.BottomRight)) << Name;
    EXPECT_EQ(S.At(6, 6), RGBOf(C.Inner)) << Name;
    EXPECT_TRUE(S.CleanOutside(Box)) << Name;
    EXPECT_TRUE(S.CleanInside(Inner)) << Name;
    // No sides: nothing drawn, the rectangle unchanged.
    TSheet None(30, 26, Paper);
    EXPECT_EQ(Paint(&None.Canvas, 0), Box) << Name;
    EXPECT_TRUE(None.Blank()) << Name;
  }
}

TEST(KvFrames, PartialSidesAndSkippedColours) {
  // The etched line on left and top only: the open ends are closed in the outer colour.
  TSheet G(30, 26, Paper);
  EXPECT_EQ(PaintStyledFrame(&G.Canvas, Box, fsGroove, sdsLeft | sdsTop), Rect(7, 7, 25, 21));
  EXPECT_EQ(G.At(24, 5), RGBOf(clBtnShadow));
  EXPECT_EQ(G.At(5, 20), RGBOf(clBtnShadow));
  EXPECT_TRUE(G.CleanOutside(Rect(5, 5, 25, 21)));
  // clNone paints only the other colour's sides but the rectangle shrinks on all four.
  TSheet N(30, 26, Paper);
  EXPECT_EQ(PaintRectSides(&N.Canvas, Box, clNone, sdsAll, clRed), Deflated(Box, 1));
  EXPECT_EQ(ColorBounds(N.Image, clRed), Box);
  EXPECT_EQ(N.At(5, 10), Paper);
  EXPECT_EQ(N.At(10, 5), Paper);
}

TEST(KvFrames, RoundedSidesCornerMarksAndDottedFocus) {
  TSheet R(30, 26, Paper);
  EXPECT_EQ(PaintRoundedSides(&R.Canvas, Box, clRed, sdsLeft | sdsTop), Rect(7, 7, 25, 21));
  EXPECT_EQ(R.At(5, 6), Paper);  // the side stops short of the corner
  EXPECT_EQ(R.At(5, 7), TColor(clRed));
  EXPECT_EQ(R.At(5, 20), TColor(clRed));  // and runs to the end where no side meets it
  EXPECT_EQ(R.At(6, 6), TColor(clRed));   // the corner pixel
  EXPECT_EQ(R.At(23, 6), Paper);
  EXPECT_EQ(CountColor(R.Image, clRed), 14 + 18 + 1);

  TSheet M(30, 26, Paper);
  EXPECT_EQ(PaintCornerMarks(&M.Canvas, Box, clRed, 3), Deflated(Box, 1));
  EXPECT_EQ(CountColor(M.Image, clRed), 4 * 5);
  for (TPoint P : {Point(5, 7), Point(7, 5), Point(22, 5), Point(24, 7), Point(24, 18), Point(22, 20), Point(7, 20),
                   Point(5, 18)})
    EXPECT_EQ(M.At(P.X, P.Y), TColor(clRed)) << P.X << "," << P.Y;
  EXPECT_EQ(M.At(5, 8), Paper);

  TSheet F(30, 26, Paper);
  EXPECT_EQ(PaintDottedFocus(&F.Canvas, Box), Deflated(Box, 1));
  EXPECT_EQ(CountColor(F.Image, clBlack), 8 + 8 + 10 + 10 - 1);
  EXPECT_EQ(F.At(5, 5), Paper);
  EXPECT_EQ(F.At(5, 6), TColor(clBlack));
  EXPECT_EQ(F.At(6, 5), TColor(clBlack));
}

TEST(KvFrames, ControlBorderChainsOuterBorderAndInner) {
  const TColor Flat = RGB(0, 0, 200);
  struct TCase {
    const char* Name;
    TControlBorder Border;
    int32_t Inset;
    std::vector<std::pair<TPoint, TColor>> Pixels;
  };
  TControlBorder Nothing;
  TControlBorder Chain;  // flat (darkened to black), two pixels of border, lowered
  Chain.Outer = fsFlat;
  Chain.FlatColor = Flat;
  Chain.FlatColorAdjustment = -255;
  Chain.BorderWidth = 2;
  Chain.BorderColor = clRed;
  Chain.Inner = fsLowered;
  TControlBorder Popup;
  Popup.Outer = fsPopup;
  Popup.BevelWidth = 3;
  Popup.HighlightColor = clLime;
  Popup.ShadowColor = clBlue;
  TControlBorder Cornerless;  // ignores the side mask, leaves the corners
  Cornerless.Inner = fsFlat;
  Cornerless.CornerlessInnerFlat = true;
  Cornerless.FlatColor = Flat;
  Cornerless.Sides = 0;
  TControlBorder Rounded;  // rings of the parent and the control colour under the curve
  Rounded.Outer = fsFlatRounded;
  Rounded.FlatColor = Flat;
  Rounded.ParentColor = clYellow;
  Rounded.ControlColor = clAqua;
  const TCase Cases[] = {
      {"nothing", Nothing, 0, {}},
      {"chain", Chain, 5, {{{5, 5}, clBlack}, {{6, 6}, clRed}, {{7, 7}, clRed}, {{8, 8}, clBtnShadow}, {{24, 20}, clBlack}}},
      {"popup", Popup, 3, {{{5, 5}, clLime}, {{7, 7}, clLime}, {{24, 20}, clBlue}, {{22, 18}, clBlue}}},
      {"cornerless", Cornerless, 1, {{{5, 5}, Paper}, {{6, 5}, Flat}, {{5, 6}, Flat}, {{24, 20}, Paper}, {{23, 20}, Flat}}},
      {"rounded", Rounded, 2,
       {{{5, 5}, clYellow}, {{6, 5}, clYellow}, {{7, 5}, Flat}, {{6, 6}, Flat}, {{5, 7}, Flat}, {{6, 7}, clAqua}}},
  };
  for (const TCase& C : Cases) {
    TSheet S(30, 26, Paper);
    const TRect Inner = PaintControlBorder(&S.Canvas, Box, C.Border);
    EXPECT_EQ(Inner, Deflated(Box, C.Inset)) << C.Name;
    for (const auto& [P, Color] : C.Pixels) EXPECT_EQ(S.At(P.X, P.Y), RGBOf(Color)) << C.Name << " " << P.X << "," << P.Y;
    EXPECT_TRUE(S.CleanOutside(Box)) << C.Name;
    EXPECT_TRUE(S.CleanInside(Inner)) << C.Name;
  }
}

// ---------------------------------------------------------------------------
// Glyphs

TEST(KvGlyphs, ArrowsAtTheirCentres) {
  struct TCase {
    int32_t Direction;  // -1: the drop-down arrow
    TRect Bounds;       // in a 16 x 16 rectangle (centre 8, 7)
    TPoint Apex;
  };
  const TCase Cases[] = {{-1, Rect(5, 6, 12, 10), {8, 9}}, {0, Rect(5, 5, 12, 9), {8, 5}},
                         {1, Rect(5, 5, 12, 9), {8, 8}},   {2, Rect(6, 4, 10, 11), {6, 7}},
                         {3, Rect(6, 4, 10, 11), {9, 7}}};
  for (const TCase& C : Cases) {
    for (bool Pressed : {false, true}) {
      TSheet S(20, 20, Paper);
      S.Canvas.Brush()->SetColor(clLime);
      if (C.Direction < 0)
        PaintDropDownArrow(&S.Canvas, Rect(0, 0, 16, 16), false, true, Pressed);
      else
        PaintArrowButton(&S.Canvas, Rect(0, 0, 16, 16), false, true, Pressed, C.Direction);
      TRect Expected = C.Bounds;
      if (Pressed) OffsetRect(Expected, 1, 1);
      EXPECT_EQ(ColorBounds(S.Image, clBlack), Expected) << C.Direction << Pressed;
      EXPECT_EQ(CountColor(S.Image, clBlack), 16) << C.Direction;
      EXPECT_EQ(S.At(C.Apex.X + Pressed, C.Apex.Y + Pressed), TColor(clBlack)) << C.Direction;
      EXPECT_EQ(S.Canvas.Brush()->Color(), TColor(clLime));  // the caller's brush is kept
    }
  }
  // Disabled glyphs are grey; a disabled arrow does not move when pressed.
  TSheet D(20, 20, Paper);
  PaintArrowButton(&D.Canvas, Rect(0, 0, 16, 16), false, false, true, 0);
  EXPECT_EQ(ColorBounds(D.Image, clBtnShadow), Rect(5, 5, 12, 9));
}

TEST(KvGlyphs, CloseCrossIsFilledAndPressedMovesItDown) {
  TSheet S(20, 20, Paper), P(20, 20, Paper);
  PaintCloseButton(&S.Canvas, Rect(0, 0, 16, 16), false, true, false);
  PaintCloseButton(&P.Canvas, Rect(0, 0, 16, 16), false, true, true);
  // Around (8, 7): filled on both diagonals, open between the arms, within (cx-4, cy-5)..(cx+5, cy+5).
  for (TPoint On : {Point(8, 7), Point(6, 5), Point(10, 9)}) EXPECT_EQ(S.At(On.X, On.Y), TColor(clBlack));
  EXPECT_EQ(S.At(8, 4), Paper);
  EXPECT_TRUE(S.CleanOutside(Rect(4, 2, 13, 12)));
  TRect Moved = ColorBounds(S.Image, clBlack);
  OffsetRect(Moved, 0, 1);
  EXPECT_EQ(ColorBounds(P.Image, clBlack), Moved);
}

namespace {

TGlyphColors GlyphColors() {
  TGlyphColors C;
  C.FocusedFill = RGB(250, 250, 200);
  C.UnfocusedFill = RGB(240, 240, 240);
  C.AlternateFill = RGB(200, 250, 250);
  C.DisabledFill = RGB(220, 220, 220);
  C.Mark = RGB(0, 0, 150);
  C.Frame = RGB(30, 60, 90);
  C.Hot1 = RGB(255, 128, 0);
  C.Hot2 = RGB(255, 230, 150);
  return C;
}

}  // namespace

TEST(KvGlyphs, CheckBoxTickGrayAndHotLooks) {
  const TGlyphColors C = GlyphColors();
  const TRect R = Rect(0, 0, 13, 13);
  TSheet Checked(13, 13, Paper);
  PaintCheckBoxGlyph(&Checked.Canvas, R, 1, C, gdsNormal);
  EXPECT_EQ(Checked.At(0, 0), C.Frame);
  EXPECT_EQ(Checked.At(2, 2), C.UnfocusedFill);
  EXPECT_EQ(CountColor(Checked.Image, C.Mark), 21);
  for (TPoint P : {Point(3, 5), Point(3, 7), Point(5, 9), Point(9, 3), Point(9, 5)}) EXPECT_EQ(Checked.At(P.X, P.Y), C.Mark);
  EXPECT_EQ(Checked.At(5, 6), C.UnfocusedFill);

  TSheet Grayed(13, 13, Paper);
  PaintCheckBoxGlyph(&Grayed.Canvas, R, 2, C, gdsDisabled);
  EXPECT_EQ(ColorBounds(Grayed.Image, clBtnShadow), Rect(3, 3, 10, 10));  // disabled marks are grey
  EXPECT_EQ(Grayed.At(2, 2), C.DisabledFill);

  TSheet Down(13, 13, Paper);
  PaintCheckBoxGlyph(&Down.Canvas, R, 0, C, gdsDown);
  EXPECT_EQ(Down.At(6, 6), DimColor(C.FocusedFill, 20));

  // Hot: a gradient ring two pixels wide from Hot2 at the top-left to Hot1 at the bottom-right.
  TSheet Hot(13, 13, Paper);
  PaintCheckBoxGlyph(&Hot.Canvas, R, 0, C, gdsHot);
  EXPECT_EQ(Hot.At(0, 0), C.Hot2);
  EXPECT_EQ(Hot.At(12, 12), C.Hot1);
  EXPECT_EQ(Hot.At(2, 2), C.UnfocusedFill);
  SetHighColorScreen(false);
  TSheet Flat(13, 13, Paper);
  PaintCheckBoxGlyph(&Flat.Canvas, R, 0, C, gdsHot);
  SetHighColorScreen(true);
  EXPECT_EQ(Flat.At(0, 0), C.Frame);
}

TEST(KvGlyphs, RadioButtonOutlineBlendsAndDot) {
  const TGlyphColors C = GlyphColors();
  const TColor Back = RGB(212, 208, 200);
  TSheet S(13, 13, Paper);
  PaintRadioButtonGlyph(&S.Canvas, Rect(0, 0, 13, 13), true, C, clFuchsia, false, Back, gdsNormal);
  EXPECT_EQ(S.At(0, 0), Back);
  EXPECT_EQ(S.At(6, 0), C.Frame);
  EXPECT_EQ(S.At(5, 0), BrightenColor(C.Frame, 10));
  EXPECT_EQ(S.At(4, 0), MixColors(C.Frame, Back, 128));
  EXPECT_EQ(S.At(3, 0), MixColors(C.Frame, Back, 40));
  EXPECT_EQ(S.At(4, 1), MixColors(C.Frame, C.UnfocusedFill, 128));
  EXPECT_EQ(S.At(6, 6), C.Mark);
  EXPECT_EQ(S.At(5, 4), MixColors(C.Mark, C.UnfocusedFill, 153));
  EXPECT_EQ(S.At(3, 3), C.UnfocusedFill);

  // Without high colour no blends: the ring, silver and the background.
  SetHighColorScreen(false);
  TSheet Low(13, 13, Paper);
  PaintRadioButtonGlyph(&Low.Canvas, Rect(0, 0, 13, 13), false, C, clFuchsia, false, Back, gdsNormal);
  SetHighColorScreen(true);
  EXPECT_EQ(Low.At(4, 0), C.Frame);
  EXPECT_EQ(Low.At(3, 0), Back);
  EXPECT_EQ(Low.At(5, 1), TColor(clSilver));
  EXPECT_EQ(Low.At(6, 6), C.UnfocusedFill);

  // Transparent: everything outside the ring is the key colour; hot frame in Hot1.
  TSheet Key(13, 13, Paper);
  TGlyphColors Hot = C;
  Hot.HotStyle = 1;
  PaintRadioButtonGlyph(&Key.Canvas, Rect(0, 0, 13, 13), false, Hot, clFuchsia, true, Back, gdsHot);
  EXPECT_EQ(Key.At(0, 0), TColor(clFuchsia));
  EXPECT_EQ(Key.At(4, 0), TColor(clFuchsia));
  EXPECT_EQ(Key.At(6, 0), C.Hot1);
  EXPECT_EQ(Key.At(6, 1), BrightenColor(C.Hot1, 10));
}
