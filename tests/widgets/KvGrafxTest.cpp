// Gradients in every direction, replication, mirroring, tiling, masked stretching,
// flipping and the parent's image: pixel facts on offscreen canvases.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include "platform/gui/Forms.h"
#include "widgets/KvGrafx.h"

using namespace widgettest;
using testsupport::RowRuns;

namespace {

constexpr TColor Paper = RGB(1, 2, 3);
// Start and end differ in the red channel only, so "towards the end" is "redder".
constexpr TColor Start = RGB(10, 50, 90), End = RGB(250, 50, 90);

int32_t Red(const TSheet& S, TPoint P) { return GetRValue(S.At(P.X, P.Y)); }

}  // namespace

TEST(KvGradients, EveryDirectionEndsInItsColoursAndChangesOneWay) {
  // A 41 x 31 rectangle at (4, 3); points in its own coordinates.
  const TRect R = Bounds(4, 3, 41, 31);
  struct TCase {
    TGradientDirection Direction;
    std::vector<TPoint> AtStart, AtEnd;
    std::vector<TPoint> Path;  // from a start point to an end point: never less red
  };
  const TCase Cases[] = {
      {gdHorizontalEnd, {{0, 0}, {0, 30}}, {{40, 0}, {40, 30}}, {{0, 15}, {10, 15}, {20, 15}, {40, 15}}},
      {gdHorizontalCenter, {{0, 0}, {40, 30}}, {{20, 0}, {20, 30}}, {{40, 5}, {30, 5}, {21, 5}, {20, 5}}},
      {gdVerticalEnd, {{0, 0}, {40, 0}}, {{0, 30}, {40, 30}}, {{7, 0}, {7, 10}, {7, 29}, {7, 30}}},
      {gdVerticalCenter, {{0, 0}, {40, 30}}, {{3, 15}, {38, 15}}, {{3, 30}, {3, 20}, {3, 16}, {3, 15}}},
      {gdDiagonalUp, {{0, 30}}, {{40, 0}}, {{0, 30}, {10, 30}, {10, 20}, {25, 12}, {40, 12}, {40, 0}}},
      {gdDiagonalDown, {{0, 0}}, {{40, 30}}, {{0, 0}, {0, 10}, {20, 10}, {20, 30}, {40, 30}}},
      {gdSquareBox, {{0, 0}, {40, 30}, {20, 0}, {0, 15}}, {{20, 15}}, {{0, 15}, {8, 15}, {19, 15}, {20, 15}}},
      {gdHorizontalBox, {{0, 0}, {9, 15}, {31, 15}, {20, 0}}, {{20, 15}}, {{9, 15}, {15, 15}, {20, 15}}},
      {gdVerticalBox, {{0, 0}, {20, 6}, {20, 24}, {0, 15}}, {{20, 15}}, {{20, 6}, {20, 10}, {20, 15}}},
      {gdBigSquareBox, {{0, 0}, {9, 15}, {20, 6}}, {{20, 15}}, {{20, 6}, {20, 15}}},
  };
  for (const TCase& C : Cases) {
    TSheet S(50, 40, Paper);
    FillGradientRect(&S.Canvas, R, C.Direction, 1, End, Start);
    auto At = [&](TPoint P) { return S.At(R.Left + P.X, R.Top + P.Y); };
    for (TPoint P : C.AtStart) EXPECT_EQ(At(P), Start) << int(C.Direction) << " start " << P.X << "," << P.Y;
    for (TPoint P : C.AtEnd) EXPECT_EQ(At(P), End) << int(C.Direction) << " end " << P.X << "," << P.Y;
    for (size_t I = 1; I < C.Path.size(); ++I) {
      const TPoint A = {R.Left + C.Path[I - 1].X, R.Top + C.Path[I - 1].Y}, B = {R.Left + C.Path[I].X, R.Top + C.Path[I].Y};
      EXPECT_LE(Red(S, A), Red(S, B)) << int(C.Direction) << " step " << I;
    }
    EXPECT_LT(Red(S, {R.Left + C.Path.front().X, R.Top + C.Path.front().Y}),
              Red(S, {R.Left + C.Path.back().X, R.Top + C.Path.back().Y}));
    EXPECT_TRUE(S.CleanOutside(R)) << int(C.Direction);
    // Equal colours: one flat fill.
    TSheet Flat(50, 40, Paper);
    FillGradientRect(&Flat.Canvas, R, C.Direction, 1, Start, Start);
    EXPECT_EQ(testsupport::CountColor(Flat.Image, Start), R.Width() * R.Height()) << int(C.Direction);
  }
}

TEST(KvGradients, SmoothFactorWidensTheBands) {
  // 256 columns from 0 to 255: one band per column with factor 1, at least 8 wide with 8
  // (but the two cut at the edges).
  for (TSmoothFactor Smooth : {TSmoothFactor(1), TSmoothFactor(8)}) {
    TSheet S(256, 10, Paper);
    FillGradientRect(&S.Canvas, Rect(0, 0, 256, 10), gdHorizontalEnd, Smooth, RGB(255, 0, 0), RGB(0, 0, 0));
    const auto Runs = RowRuns(S.Image, 5, 0, 256);
    for (size_t I = 1; I + 1 < Runs.size(); ++I) EXPECT_GE(Runs[I].second, Smooth) << int(Smooth) << " band " << I;
    EXPECT_EQ(Runs.size(), Smooth == 1 ? 256u : 32u);
    EXPECT_EQ(RowRuns(S.Image, 0, 0, 256), RowRuns(S.Image, 9, 0, 256));  // every row alike
  }
}

TEST(KvGradients, EmptyAndNarrowRectangles) {
  for (TRect R : {Rect(5, 5, 5, 30), Rect(5, 5, 30, 5)}) {
    TSheet S(40, 40, Paper);
    FillGradientRect(&S.Canvas, R, gdSquareBox, 1, End, Start);
    EXPECT_TRUE(S.Blank());
  }
  // A box gradient narrower than 5 pixels is a flat fill in the start colour.
  TSheet Box(10, 110, Paper);
  FillGradientRect(&Box.Canvas, Bounds(2, 2, 4, 100), gdSquareBox, 1, End, Start);
  EXPECT_EQ(testsupport::CountColor(Box.Image, Start), 400);
}

TEST(KvBlits, ReplicateMirrorTileAndFlip) {
  // A 3 x 2 block of distinct colours.
  auto BlockColor = [](int32_t X, int32_t Y) { return RGB(static_cast<uint8_t>(40 * X + 10), static_cast<uint8_t>(100 * Y + 20), 77); };
  TSheet S(20, 12, Paper);
  for (int32_t Y = 0; Y < 2; ++Y)
    for (int32_t X = 0; X < 3; ++X) S.Canvas.SetPixel(2 + X, 1 + Y, BlockColor(X, Y));
  ReplicateBlock(&S.Canvas, 2, 1, cmSrcCopy, 3, 2, 10, 7);
  bool Same = true;
  for (int32_t Y = 0; Y < 7; ++Y)
    for (int32_t X = 0; X < 10; ++X) Same = Same && S.At(2 + X, 1 + Y) == BlockColor(X % 3, Y % 2);
  EXPECT_TRUE(Same);
  EXPECT_TRUE(S.CleanOutside(Bounds(2, 1, 10, 7)));

  // Tiling cuts the last copies at the rectangle's edges.
  TBitmap Tile(3, 2);
  for (int32_t Y = 0; Y < 2; ++Y)
    for (int32_t X = 0; X < 3; ++X) Tile.Canvas()->SetPixel(X, Y, BlockColor(X, Y));
  TSheet T(20, 12, Paper);
  TileBitmapRect(&T.Canvas, &Tile, Bounds(1, 2, 8, 5));
  Same = true;
  for (int32_t Y = 0; Y < 5; ++Y)
    for (int32_t X = 0; X < 8; ++X) Same = Same && T.At(1 + X, 2 + Y) == BlockColor(X % 3, Y % 2);
  EXPECT_TRUE(Same);
  EXPECT_TRUE(T.CleanOutside(Bounds(1, 2, 8, 5)));

  // Mirroring a 5 x 5 picture keeps its middle row and column.
  auto Cell = [](int32_t X, int32_t Y) { return RGB(static_cast<uint8_t>(X * 50), static_cast<uint8_t>(Y * 50), 9); };
  TSheet M(5, 5, Paper);
  for (int32_t Y = 0; Y < 5; ++Y)
    for (int32_t X = 0; X < 5; ++X) M.Canvas.SetPixel(X, Y, Cell(X, Y));
  MirrorHalves(&M.Canvas, 0, 0, cmSrcCopy, 5, 5);
  Same = true;
  for (int32_t Y = 0; Y < 5; ++Y)
    for (int32_t X = 0; X < 5; ++X) Same = Same && M.At(X, Y) == Cell(X < 3 ? X : 4 - X, Y < 3 ? Y : 4 - Y);
  EXPECT_TRUE(Same);

  // Flipping moves row y to row height - 1 - y, row 0 included.
  TBitmap F(2, 3);
  for (int32_t Y = 0; Y < 3; ++Y) {
    F.Canvas()->SetPixel(0, Y, Cell(0, Y));
    F.Canvas()->SetPixel(1, Y, Cell(1, Y));
  }
  FlipBitmapVertically(&F);
  for (int32_t Y = 0; Y < 3; ++Y) EXPECT_EQ(F.Canvas()->Pixels(1, Y), Cell(1, 2 - Y)) << Y;
}

TEST(KvBlits, StretchDrawMaskedLeavesOutTheTransparentColour) {
  TBitmap B(3, 2);
  B.Canvas()->Brush()->SetColor(clFuchsia);
  B.Canvas()->FillRect(Rect(0, 0, 3, 2));
  B.Canvas()->SetPixel(1, 0, clRed);
  B.Canvas()->SetPixel(2, 1, clBlue);
  TSheet S(12, 12, Paper);
  // Source columns 1 and 2 stretched to 4 x 4 at (3, 3).
  StretchDrawMasked(&S.Canvas, &B, Bounds(3, 3, 4, 4), clFuchsia, Rect(1, 0, 3, 2));
  EXPECT_EQ(testsupport::ColorBounds(S.Image, clRed), Bounds(3, 3, 2, 2));
  EXPECT_EQ(testsupport::ColorBounds(S.Image, clBlue), Bounds(5, 5, 2, 2));
  EXPECT_EQ(testsupport::CountColor(S.Image, Paper), 144 - 8);
}

namespace {

// A graphic control filled with one colour.
class TPlate : public TGraphicControl {
public:
  TPlate(TForm* Form, TRect Bounds, TColor Color) : TGraphicControl(Form), FColor(Color) {
    SetParent(Form);
    SetBoundsRect(Bounds);
  }

protected:
  void Paint() override {
    if (FColor == clNone) return;
    Canvas()->Brush()->SetColor(FColor);
    Canvas()->FillRect(ClientRect());
  }

private:
  TColor FColor;
};

}  // namespace

TEST(KvBlits, ParentBackgroundShowsTheParentAndTheControlsBelow) {
  TForm Form(nullptr);
  Form.SetBounds(0, 0, 100, 60);
  Form.SetColor(clYellow);
  new TPlate(&Form, Bounds(10, 10, 30, 30), clRed);
  auto* Control = new TPlate(&Form, Bounds(20, 20, 30, 30), clNone);
  new TPlate(&Form, Bounds(20, 20, 30, 30), clBlue);  // above: not part of the background
  TSheet S(30, 30, Paper);
  PaintParentBackground(Control, &S.Canvas, true);
  EXPECT_EQ(testsupport::ColorBounds(S.Image, clRed), Bounds(0, 0, 20, 20));
  EXPECT_EQ(testsupport::CountColor(S.Image, clYellow), 900 - 400);
  TGraphicControl Orphan(nullptr);
  Orphan.SetBounds(0, 0, 10, 10);
  TSheet None(10, 10, Paper);
  PaintParentBackground(&Orphan, &None.Canvas, true);
  EXPECT_TRUE(None.Blank());
}
