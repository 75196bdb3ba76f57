// The canvas's raster rules, checked as pixel facts: end points left out, right and bottom
// edges, pens and modes, clipping, origins and raster copies.
#include "tests/support/Gui.h"

#include <gtest/gtest.h>

#include <QImage>
#include <set>

#include "platform/gui/Graphics.h"

using namespace testsupport;

namespace {

// A white image with a canvas on it.
struct TSheet {
  explicit TSheet(int32_t W = 20, int32_t H = 20, TColor Color = clWhite) : Image(MakeImage(W, H, Color)) {
    Canvas.SetImage(&Image);
  }
  ~TSheet() { Canvas.SetImage(nullptr); }
  std::set<std::pair<int32_t, int32_t>> PixelsOf(TColor Color) const {
    std::set<std::pair<int32_t, int32_t>> S;
    for (int32_t Y = 0; Y < Image.height(); ++Y)
      for (int32_t X = 0; X < Image.width(); ++X)
        if (Canvas.Pixels(X, Y) == Color) S.insert({X, Y});
    return S;
  }
  QImage Image;
  TCanvas Canvas;
};

}  // namespace

TEST(CanvasLines, LeaveOutTheEndPointInEveryDirection) {
  struct TCase {
    TPoint From, To;
  };
  const TCase Cases[] = {{{2, 5}, {12, 5}}, {{12, 6}, {2, 6}}, {{5, 2}, {5, 12}},  {{6, 12}, {6, 2}},
                         {{2, 2}, {9, 9}},  {{9, 9}, {2, 2}},  {{2, 12}, {9, 5}},  {{1, 1}, {15, 6}},
                         {{15, 6}, {1, 1}}, {{3, 1}, {5, 16}}, {{5, 16}, {3, 1}}};
  for (const TCase& C : Cases) {
    TSheet S;
    S.Canvas.MoveTo(C.From.X, C.From.Y);
    S.Canvas.LineTo(C.To.X, C.To.Y);
    const auto Black = S.PixelsOf(clBlack);
    const int32_t Steps = std::max(std::abs(C.To.X - C.From.X), std::abs(C.To.Y - C.From.Y));
    EXPECT_EQ(static_cast<int32_t>(Black.size()), Steps) << C.From.X << "," << C.From.Y;
    EXPECT_TRUE(Black.count({C.From.X, C.From.Y}));
    EXPECT_FALSE(Black.count({C.To.X, C.To.Y}));
    EXPECT_EQ(S.Canvas.PenPos(), C.To);
    // The line and its reverse cover the same pixels apart from their ends.
    TSheet R;
    R.Canvas.MoveTo(C.To.X, C.To.Y);
    R.Canvas.LineTo(C.From.X, C.From.Y);
    auto Forward = Black, Backward = R.PixelsOf(clBlack);
    Forward.erase({C.From.X, C.From.Y});
    Backward.erase({C.To.X, C.To.Y});
    EXPECT_EQ(Forward, Backward);
  }
  TSheet Zero;
  Zero.Canvas.MoveTo(4, 4);
  Zero.Canvas.LineTo(4, 4);
  EXPECT_TRUE(Zero.PixelsOf(clBlack).empty());
}

TEST(CanvasLines, PolylineDrawsEveryVertexOnceAndLeavesOutTheLast) {
  // XOR shows a pixel drawn twice as white again.
  TSheet S;
  S.Canvas.Pen()->SetMode(pmXor);
  S.Canvas.Pen()->SetColor(clWhite);
  S.Canvas.MoveTo(0, 0);
  S.Canvas.Polyline({{2, 2}, {12, 2}, {12, 10}, {2, 10}, {2, 3}});
  EXPECT_EQ(S.PixelsOf(clBlack).size(), 10u + 8u + 10u + 7u);
  EXPECT_EQ(S.Canvas.Pixels(2, 3), clWhite);
  EXPECT_EQ(S.Canvas.PenPos(), Point(0, 0));
}

TEST(CanvasShapes, FilledShapesLeaveOutRightAndBottomEdges) {
  struct TCase {
    const char* Name;
    std::function<void(TCanvas&)> Draw;
    TRect BrushBox;  // bounds of the interior colour
    TRect PenBox;    // bounds of the pen colour (empty: none)
  };
  const TCase Cases[] = {
      {"fill rect", [](TCanvas& C) { C.FillRect(Rect(3, 4, 11, 9)); }, Rect(3, 4, 11, 9), {}},
      {"rectangle", [](TCanvas& C) { C.Rectangle(3, 4, 11, 9); }, Rect(4, 5, 10, 8), Rect(3, 4, 11, 9)},
      {"rectangle clear pen",
       [](TCanvas& C) {
         C.Pen()->SetStyle(psClear);
         C.Rectangle(3, 4, 11, 9);
       },
       Rect(3, 4, 10, 8), {}},
      {"inside frame",
       [](TCanvas& C) {
         C.Pen()->SetStyle(psInsideFrame);
         C.Pen()->SetWidth(2);
         C.Rectangle(3, 4, 13, 14);
       },
       Rect(5, 6, 11, 12), Rect(3, 4, 13, 14)},
      {"polygon clear pen",
       [](TCanvas& C) {
         C.Pen()->SetStyle(psClear);
         C.Polygon({{3, 4}, {11, 4}, {11, 9}, {3, 9}});
       },
       Rect(3, 4, 11, 9), {}},
      {"polygon", [](TCanvas& C) { C.Polygon({{3, 4}, {11, 4}, {11, 9}, {3, 9}}); }, Rect(4, 5, 11, 9),
       Rect(3, 4, 12, 10)},
  };
  for (const TCase& C : Cases) {
    TSheet S;
    S.Canvas.Brush()->SetColor(clRed);
    S.Canvas.Pen()->SetColor(clBlue);
    C.Draw(S.Canvas);
    EXPECT_EQ(ColorBounds(S.Image, clRed), C.BrushBox) << C.Name;
    EXPECT_EQ(ColorBounds(S.Image, clBlue), C.PenBox) << C.Name;
  }
}

TEST(CanvasShapes, FrameAndFocusRectangles) {
  TSheet S;
  S.Canvas.Brush()->SetColor(clRed);
  S.Canvas.FrameRect(Rect(2, 2, 8, 6));
  EXPECT_EQ(CountColor(S.Image, clRed), 2 * 6 + 2 * 2);
  EXPECT_EQ(ColorBounds(S.Image, clRed), Rect(2, 2, 8, 6));
  // The focus rectangle inverts every second frame pixel; twice restores.
  TSheet F(12, 12, clBlack);
  F.Canvas.DrawFocusRect(Rect(1, 1, 11, 11));
  EXPECT_EQ(CountColor(F.Image, clWhite), (10 * 4 - 4) / 2);
  EXPECT_EQ(F.Canvas.Pixels(2, 2), clBlack);
  EXPECT_EQ(F.Canvas.Pixels(1, 1), clWhite);
  EXPECT_EQ(F.Canvas.Pixels(2, 1), clBlack);
  F.Canvas.DrawFocusRect(Rect(1, 1, 11, 11));
  EXPECT_EQ(CountColor(F.Image, clBlack), 144);
}

TEST(CanvasPens, DashesGapsAndModes) {
  TSheet S(30, 4);
  S.Canvas.Pen()->SetStyle(psDot);
  S.Canvas.Brush()->SetStyle(bsClear);
  S.Canvas.MoveTo(0, 1);
  S.Canvas.LineTo(12, 1);
  using R = std::vector<std::pair<TColor, int32_t>>;
  EXPECT_EQ(RowRuns(S.Image, 1, 0, 14), (R{{clBlack, 3}, {clWhite, 3}, {clBlack, 3}, {clWhite, 5}}));
  // A solid brush fills the gaps with its colour.
  S.Canvas.Brush()->SetColor(clYellow);
  S.Canvas.MoveTo(0, 2);
  S.Canvas.LineTo(12, 2);
  EXPECT_EQ(RowRuns(S.Image, 2, 0, 12), (R{{clBlack, 3}, {clYellow, 3}, {clBlack, 3}, {clYellow, 3}}));

  struct TModeCase {
    TPenMode Mode;
    TColor Before, After;
  };
  const TModeCase Modes[] = {{pmCopy, 0x123456, clRed},     {pmNot, 0x123456, 0xEDCBA9},
                             {pmXor, 0x123456, 0x1234A9},   {pmNop, 0x123456, 0x123456},
                             {pmMask, 0x123456, 0x000056},  {pmMerge, 0x123456, 0x1234FF},
                             {pmWhite, 0x123456, clWhite},  {pmNotCopy, 0x123456, 0xFFFF00}};
  for (const TModeCase& M : Modes) {
    TSheet P(4, 1, M.Before);
    P.Canvas.Pen()->SetColor(clRed);
    P.Canvas.Pen()->SetMode(M.Mode);
    P.Canvas.MoveTo(0, 0);
    P.Canvas.LineTo(2, 0);
    EXPECT_EQ(P.Canvas.Pixels(1, 0), M.After) << int(M.Mode);
    EXPECT_EQ(P.Canvas.Pixels(2, 0), M.Before) << int(M.Mode);
  }
}

TEST(CanvasPixels, AreBoundsCheckedAndClipped) {
  TSheet S(6, 6);
  S.Canvas.SetPixel(2, 3, clRed);
  EXPECT_EQ(S.Canvas.Pixels(2, 3), clRed);
  for (TPoint P : {Point(-1, 0), Point(6, 0), Point(0, 6), Point(0, -1)}) {
    EXPECT_EQ(S.Canvas.Pixels(P.X, P.Y), CLR_INVALID);
    S.Canvas.SetPixel(P.X, P.Y, clRed);
  }
  EXPECT_EQ(CountColor(S.Image, clRed), 1);
  S.Canvas.IntersectClipRect(0, 0, 2, 6);
  EXPECT_EQ(S.Canvas.Pixels(2, 3), CLR_INVALID);
  S.Canvas.SetPixel(4, 4, clRed);
  EXPECT_EQ(PixelAt(S.Image, 4, 4), clWhite);
}

TEST(CanvasClipping, RectanglesRegionsSavedStatesAndOrigin) {
  TSheet S;
  S.Canvas.Brush()->SetColor(clRed);
  const int32_t Saved = S.Canvas.SaveDC();
  S.Canvas.IntersectClipRect(2, 2, 12, 12);
  S.Canvas.ExcludeClipRect(4, 4, 6, 6);
  EXPECT_EQ(S.Canvas.ClipRect(), Rect(2, 2, 12, 12));
  S.Canvas.FillRect(Rect(0, 0, 20, 20));
  EXPECT_EQ(CountColor(S.Image, clRed), 100 - 4);
  EXPECT_EQ(ColorBounds(S.Image, clRed), Rect(2, 2, 12, 12));
  S.Canvas.RestoreDC(Saved);
  EXPECT_EQ(S.Canvas.ClipRect(), Rect(0, 0, 20, 20));

  // A polygon region clips to the pixel centres inside it (odd-even rule).
  TSheet T;
  const TPoint Triangle[] = {{0, 0}, {10, 0}, {0, 10}};
  const TRegion Region(Triangle);
  T.Canvas.SelectClipRgn(&Region);
  T.Canvas.Brush()->SetColor(clRed);
  T.Canvas.FillRect(Rect(0, 0, 20, 20));
  // Row y holds the pixels 0 .. 9-y: 10 + 9 + ... + 1.
  EXPECT_EQ(CountColor(T.Image, clRed), 55);
  EXPECT_EQ(ColorBounds(T.Image, clRed), Rect(0, 0, 10, 10));
  TRegion Back;
  ASSERT_TRUE(T.Canvas.GetClipRgn(Back));
  EXPECT_TRUE(Back == Region);

  // The viewport origin moves drawing; clip rectangles are given in logical coordinates.
  TSheet O;
  O.Canvas.SetViewportOrg(5, 3);
  O.Canvas.IntersectClipRect(0, 0, 4, 4);
  O.Canvas.Brush()->SetColor(clRed);
  O.Canvas.FillRect(Rect(-5, -3, 10, 10));
  EXPECT_EQ(ColorBounds(O.Image, clRed), Rect(5, 3, 9, 7));
  EXPECT_EQ(O.Canvas.ClipRect(), Rect(0, 0, 4, 4));
  EXPECT_EQ(O.Canvas.Pixels(0, 0), clRed);
}

TEST(CanvasRegions, CombineAndTest) {
  const TRegion A(Rect(0, 0, 10, 10)), B(Rect(5, 5, 15, 15));
  EXPECT_EQ(TRegion::Combine(A, B, RGN_AND).BoundsRect(), Rect(5, 5, 10, 10));
  EXPECT_EQ(TRegion::Combine(A, B, RGN_OR).BoundsRect(), Rect(0, 0, 15, 15));
  const TRegion Diff = TRegion::Combine(A, B, RGN_DIFF);
  EXPECT_TRUE(Diff.Contains(4, 9));
  EXPECT_FALSE(Diff.Contains(5, 5));
  EXPECT_FALSE(TRegion::Combine(A, B, RGN_XOR).Contains(7, 7));
  EXPECT_FALSE(A.Contains(10, 0));
  // A self-crossing polygon: odd-even leaves the doubly covered middle out, winding fills it.
  const TPoint Star[] = {{0, 4}, {12, 4}, {12, 8}, {4, 8}, {4, 0}, {8, 0}, {8, 12}, {0, 12}};
  EXPECT_FALSE(TRegion(Star, ALTERNATE).Contains(6, 6));
  EXPECT_TRUE(TRegion(Star, WINDING).Contains(6, 6));
}

TEST(CanvasCopies, StretchMirrorAndCopyModes) {
  TBitmap Source(2, 1);
  Source.Canvas()->SetPixel(0, 0, clRed);
  Source.Canvas()->SetPixel(1, 0, clBlue);
  TSheet S(10, 4);
  S.Canvas.CopyRect(Rect(0, 0, 4, 2), Source.Canvas(), Rect(0, 0, 2, 1));
  using R = std::vector<std::pair<TColor, int32_t>>;
  EXPECT_EQ(RowRuns(S.Image, 1, 0, 5), (R{{clRed, 2}, {clBlue, 2}, {clWhite, 1}}));
  // A destination with its right edge left of its left mirrors.
  S.Canvas.CopyRect(Rect(8, 3, 6, 4), Source.Canvas(), Rect(0, 0, 2, 1));
  EXPECT_EQ(RowRuns(S.Image, 3, 6, 8), (R{{clBlue, 1}, {clRed, 1}}));

  struct TModeCase {
    TCopyMode Mode;
    TColor Dest, Expected;
  };
  const TColor Src = 0x0F0F0F;
  const TModeCase Modes[] = {{cmSrcAnd, 0x3C3C3C, 0x0C0C0C},  {cmSrcPaint, 0x3C3C3C, 0x3F3F3F},
                             {cmSrcInvert, 0x3C3C3C, 0x333333}, {cmNotSrcCopy, 0x3C3C3C, 0xF0F0F0},
                             {cmSrcErase, 0x3C3C3C, 0x030303},  {cmDstInvert, 0x3C3C3C, 0xC3C3C3},
                             {cmPatCopy, 0x3C3C3C, 0x00FF00},   {cmPatInvert, 0x3C3C3C, 0x3CC33C},
                             {cmBlackness, 0x3C3C3C, clBlack},  {cmWhiteness, 0x3C3C3C, clWhite}};
  TBitmap One(1, 1);
  One.Canvas()->SetPixel(0, 0, Src);
  for (const TModeCase& M : Modes) {
    TSheet D(3, 1, M.Dest);
    D.Canvas.Brush()->SetColor(clLime);
    D.Canvas.SetCopyMode(M.Mode);
    D.Canvas.Draw(1, 0, &One);
    EXPECT_EQ(D.Canvas.Pixels(1, 0), M.Expected) << std::hex << M.Mode;
    EXPECT_EQ(D.Canvas.Pixels(0, 0), M.Dest);
  }
}

TEST(CanvasBitmaps, TransparencyPatternsAndResources) {
  TBitmap B(3, 2);
  B.Canvas()->Brush()->SetColor(clFuchsia);
  B.Canvas()->FillRect(Rect(0, 0, 3, 2));
  B.Canvas()->SetPixel(1, 0, clNavy);
  EXPECT_EQ(B.TransparentColor(), clFuchsia);  // the bottom-left pixel's
  B.SetTransparent(true);
  TSheet S(4, 3, clYellow);
  S.Canvas.Draw(1, 1, &B);
  EXPECT_EQ(CountColor(S.Image, clYellow), 12 - 1);
  EXPECT_EQ(S.Canvas.Pixels(2, 1), clNavy);

  // Pattern brushes repeat from the device origin, whatever the viewport origin.
  TBitmap Checker(2, 2);
  Checker.Canvas()->SetPixel(0, 0, clBlack);
  Checker.Canvas()->SetPixel(1, 1, clBlack);
  TSheet P(6, 6);
  P.Canvas.SetViewportOrg(1, 0);
  P.Canvas.Brush()->SetBitmap(&Checker);
  P.Canvas.FillRect(Rect(-1, 0, 5, 6));
  for (int32_t Y = 0; Y < 6; ++Y)
    for (int32_t X = 0; X < 6; ++X) EXPECT_EQ(PixelAt(P.Image, X, Y), (X + Y) % 2 ? clWhite : clBlack);

  TBitmap Loaded;
  Loaded.LoadFromResourceName("TESTGLYPH");
  EXPECT_EQ(Loaded.Width(), 3);
  EXPECT_EQ(Loaded.Canvas()->Pixels(2, 0), clBlue);
  EXPECT_THROW(Loaded.LoadFromResourceName("NOSUCHGLYPH"), EResNotFound);
  // Drawing on a bitmap's canvas changes the bitmap.
  int Changes = 0;
  Loaded.OnChange = [&](TComponent*) { ++Changes; };
  Loaded.Canvas()->SetPixel(0, 0, clWhite);
  EXPECT_EQ(Changes, 1);
  TCanvas Unbound;
  EXPECT_THROW(Unbound.FillRect(Rect(0, 0, 1, 1)), EInvalidGraphicOperation);

  // A picture holds a copy of its graphic and tells of changes.
  TPicture Picture;
  int PictureChanges = 0;
  Picture.OnChange = [&](TComponent*) { ++PictureChanges; };
  Picture.SetGraphic(&Loaded);
  Loaded.SetSize(10, 10);
  EXPECT_EQ(Picture.Width(), 3);
  Picture.Bitmap()->Canvas()->SetPixel(0, 0, clRed);
  EXPECT_EQ(PictureChanges, 2);
  const std::string File = testing::TempDir() + "picture.png";
  Picture.Bitmap()->SaveToFile(File);
  TPicture Read;
  Read.LoadFromFile(File);
  EXPECT_EQ(Read.Bitmap()->Canvas()->Pixels(0, 0), clRed);
  EXPECT_EQ(Read.Bitmap()->Canvas()->Pixels(1, 1), clWhite);
  EXPECT_THROW(Read.LoadFromFile(testing::TempDir() + "missing.png"), EFOpenError);
}
