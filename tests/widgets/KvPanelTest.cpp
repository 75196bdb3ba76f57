// Panels and group boxes: the children's enabled states across disabling and enabling,
// borders insetting the children, client fills, grid, caption placement, the group box
// styles with their caption gap, and edge keeping for bottom and right alignment.
#include "tests/widgets/BarsTest.h"

#include <gtest/gtest.h>

#include "widgets/KvPanel.h"

using namespace barstest;
using testsupport::ColorBounds;
using testsupport::CountColor;
using testsupport::PixelAt;
using testsupport::Render;

TEST(KvPanel, ChildrenGetTheirOwnEnabledStatesBack) {
  TBarsForm F;
  auto* Panel = F.Place<TKvPanel>(Bounds(10, 10, 200, 150));
  auto* On = F.Place<TKvPanel>(Bounds(5, 5, 50, 20), Panel);
  auto* Off = F.Place<TKvPanel>(Bounds(5, 30, 50, 20), Panel);
  auto* Group = F.Place<TKvGroupBox>(Bounds(60, 5, 120, 100), Panel);
  auto* Inner = F.Place<TKvPanel>(Bounds(5, 20, 50, 20), Group);
  auto* InnerOff = F.Place<TKvPanel>(Bounds(5, 45, 50, 20), Group);
  auto* Freed = F.Place<TKvPanel>(Bounds(5, 55, 50, 20), Panel);
  Off->SetEnabled(false);
  InnerOff->SetEnabled(false);
  Panel->SetEnabled(false);
  for (TControl* C : std::initializer_list<TControl*>{On, Off, Group, Inner, InnerOff}) EXPECT_FALSE(C->Enabled());
  // Meanwhile a child arrives, one goes, and the program enables one that was off.
  auto* Later = F.Place<TKvPanel>(Bounds(5, 80, 50, 20), Panel);
  Later->SetEnabled(false);
  Freed->Free();
  InnerOff->SetEnabled(true);
  Panel->SetEnabled(true);
  EXPECT_TRUE(On->Enabled());
  EXPECT_FALSE(Off->Enabled());
  EXPECT_TRUE(Group->Enabled());
  EXPECT_TRUE(Inner->Enabled());
  EXPECT_TRUE(InnerOff->Enabled());  // as the program left it
  EXPECT_TRUE(Later->Enabled());     // not recorded: enabled
  // A second round starts from the states as they are now.
  Inner->SetEnabled(false);
  Panel->SetEnabled(false);
  Panel->SetEnabled(true);
  EXPECT_FALSE(Inner->Enabled());
  EXPECT_TRUE(InnerOff->Enabled());
}

TEST(KvPanel, BordersInsetTheChildrenAndPaintFromTheEdge) {
  struct TCase {
    TFrameStyleEx Outer, Inner;
    TSides Sides;
    int32_t BorderWidth, BevelWidth;
    TRect Client;  // of a 100 x 60 panel
    TColor Corner;
  };
  const TCase Cases[] = {
      {fsRaised, fsNone, sdsAll, 0, 1, Rect(2, 2, 98, 58), cl3DLight},
      {fsFlat, fsLowered, sdsAll, 3, 1, Rect(6, 6, 94, 54), clNavy},
      {fsStatus, fsNone, sdsAll, 0, 3, Rect(3, 3, 97, 57), clBtnShadow},
      {fsGroove, fsNone, sdsTop, 0, 1, Rect(0, 2, 100, 60), clBtnShadow},
      {fsNone, fsNone, sdsAll, 4, 1, Rect(4, 4, 96, 56), clAqua},
      {fsFlatBold, fsPopup, sdsLeft | sdsBottom, 0, 2, Rect(4, 0, 100, 56), clNavy},
  };
  for (const TCase& C : Cases) {
    TBarsForm F;
    auto* P = F.Place<TKvPanel>(Bounds(10, 10, 100, 60));
    P->SetBorderOuter(C.Outer);
    P->SetBorderInner(C.Inner);
    P->SetBorderSides(C.Sides);
    P->SetBorderWidth(C.BorderWidth);
    P->SetBevelWidth(C.BevelWidth);
    P->SetBorderColor(clAqua);
    P->SetFlatColor(clNavy);
    P->SetFlatColorAdjustment(0);
    auto* Child = F.Place<TKvPanel>(Rect(0, 0, 0, 0), P);
    Child->SetAlign(alClient);
    EXPECT_EQ(Child->BoundsRect(), C.Client) << C.Outer << "/" << C.Inner;
    Child->Hide();
    const QImage I = Render(P);
    EXPECT_EQ(PixelAt(I, 0, 0), ColorToRGB(C.Corner)) << C.Outer << "/" << C.Inner;
    // The client area is filled with the panel's colour.
    EXPECT_EQ(PixelAt(I, 50, 30), ColorToRGB(clBtnFace));
  }
}

TEST(KvPanel, ClientAreaSolidGradientOrTheParentShowingThrough) {
  TBarsForm F;
  F.Form.SetColor(clYellow);
  auto* P = F.Place<TKvPanel>(Bounds(10, 10, 100, 40));
  P->SetBorderOuter(fsNone);
  P->SetVisualStyle(vsGradient);
  TColor Start, Stop;
  GradientColorsByStyle(gcsSystem, Start, Stop);
  QImage I = Render(P);
  EXPECT_EQ(PixelAt(I, 0, 20), ColorToRGB(Start));
  EXPECT_EQ(PixelAt(I, 99, 20), ColorToRGB(Stop));
  P->SetGradientColorStyle(gcsCustom);
  P->SetGradientColorStart(clRed);
  P->SetGradientColorStop(clBlue);
  P->SetGradientDirection(gdVerticalEnd);
  I = Render(P);
  EXPECT_EQ(PixelAt(I, 50, 0), ColorToRGB(clRed));
  EXPECT_EQ(PixelAt(I, 50, 39), ColorToRGB(clBlue));
  P->SetTransparent(true);
  EXPECT_EQ(CountColor(Render(P), clYellow), 100 * 40);
  P->SetPaintClientArea(false);
  P->SetTransparent(false);
  EXPECT_EQ(CountColor(Render(P), clBtnFace), 100 * 40);  // erased, not painted
}

TEST(KvPanel, GridDotsAndLines) {
  struct TCase {
    TKvGridStyle Style;
    uint16_t X, Y;
    int32_t Pixels;  // on a 40 x 30 panel without borders
  };
  const TCase Cases[] = {
      {gsDots, 8, 8, 5 * 3},
      {gsSolidLines, 8, 8, 5 * 30 + 3 * 40 - 5 * 3},
      {gsDottedLines, 8, 8, 5 * 15 + 3 * 20 - 5 * 3},
      {gsSolidLines, 0, 10, 3 * 40},
      {gsDots, 0, 8, 0},
  };
  for (const TCase& C : Cases) {
    TBarsForm F;
    auto* P = F.Place<TKvPanel>(Bounds(10, 10, 40, 30));
    P->SetBorderOuter(fsNone);
    P->SetShowGrid(true);
    P->SetGridColor(clNavy);
    P->SetGridStyle(C.Style);
    P->SetGridXSize(C.X);
    P->SetGridYSize(C.Y);
    const QImage I = Render(P);
    EXPECT_EQ(CountColor(I, clNavy), C.Pixels) << C.Style << " " << C.X << "x" << C.Y;
    if (C.X == 8) {
      // The first grid column is the last one of the first cell.
      EXPECT_EQ(PixelAt(I, 7, 7), ColorToRGB(clNavy)) << C.Style;
      EXPECT_NE(PixelAt(I, 8, 8), ColorToRGB(clNavy)) << C.Style;
    }
  }
}

TEST(KvPanel, CaptionPlacementWithMarginsAndTheDisabledLook) {
  struct TCase {
    TAlignment Horizontal;
    TAlignmentVertical Vertical;
  };
  const TCase Cases[] = {{taLeftJustify, avTop}, {taCenter, avCenter}, {taRightJustify, avBottom}};
  for (const TCase& C : Cases) {
    TBarsForm F;
    auto* P = F.Place<TKvPanel>(Bounds(10, 10, 120, 60));
    P->SetBorderOuter(fsNone);
    P->SetCaption("Caption");
    P->Font()->SetColor(clRed);
    P->SetTextMargin(6);
    P->SetTextMarginVertical(4);
    P->SetAlignment(C.Horizontal);
    P->SetAlignmentVertical(C.Vertical);
    const TRect T = ColorBounds(Render(P), clRed);
    ASSERT_FALSE(IsRectEmpty(T));
    switch (C.Horizontal) {
      case taLeftJustify: EXPECT_LE(std::abs(T.Left - 6), 1); break;
      case taRightJustify: EXPECT_LE(std::abs(T.Right - (120 - 6)), 1); break;
      default: EXPECT_LE(std::abs(T.Left + T.Right - 120), 2); break;
    }
    switch (C.Vertical) {
      case avTop: EXPECT_TRUE(T.Top >= 4 && T.Top <= 8) << T.Top; break;
      case avBottom: EXPECT_TRUE(T.Bottom <= 60 - 4 && T.Bottom >= 60 - 10) << T.Bottom; break;
      default: EXPECT_LE(std::abs(T.Top + T.Bottom - 60), 4); break;
    }
    P->SetEnabled(false);
    const QImage D = Render(P);
    EXPECT_TRUE(IsRectEmpty(ColorBounds(D, clRed)));
    const TRect Shadow = ColorBounds(D, clBtnShadow), Highlight = ColorBounds(D, clBtnHighlight);
    EXPECT_EQ(Highlight.BottomRight(), Point(Shadow.Right + 1, Shadow.Bottom + 1));
  }
}

TEST(KvPanel, AlignedToTheBottomOrRightAResizeKeepsThatEdge) {
  TBarsForm F;
  auto* Bottom = F.Place<TKvPanel>(Bounds(0, 0, 50, 40));
  Bottom->SetAlign(alBottom);
  auto* Right = F.Place<TKvPanel>(Bounds(0, 0, 40, 50));
  Right->SetAlign(alRight);
  F.Form.DisableAlign();
  const TRect B = Bottom->BoundsRect(), R = Right->BoundsRect();
  Bottom->SetHeight(55);
  Right->SetWidth(25);
  EXPECT_EQ(Bottom->Top() + Bottom->Height(), B.Bottom);
  EXPECT_EQ(Right->Left() + Right->Width(), R.Right);
  F.Form.EnableAlign();
  EXPECT_EQ(Bottom->Top() + Bottom->Height(), F.Form.ClientHeight());
}

TEST(KvPanel, AResizeRepaintsAllOrOnlyTheStripsTheFramesMoveThrough) {
  struct TCase {
    const char* Name;
    bool FullRepaint;
    const char* Caption;
    TSize Size;  // new size of a 100 x 60 panel with a 2-pixel frame
    TRect Painted;
  };
  const TCase Cases[] = {
      {"full repaint", true, "Caption", {80, 60}, Rect(0, 0, 80, 60)},
      {"narrower", false, "Caption", {80, 60}, Rect(77, 0, 80, 60)},
      {"lower", false, "Caption", {100, 50}, Rect(0, 47, 100, 50)},
      {"wider", false, "Caption", {120, 60}, Rect(97, 0, 120, 60)},
      {"no caption", false, "", {80, 60}, Rect(0, 0, 80, 60)},
  };
  for (const TCase& C : Cases) {
    TBarsForm F;
    auto* P = F.Place<TKvPanel>(Bounds(10, 10, 100, 60));
    if (!C.FullRepaint) P->SetFullRepaint(false);
    P->SetCaption(C.Caption);
    P->Update();
    testsupport::TPaintCounter Paints({P});
    P->SetBounds(10, 10, C.Size.cx, C.Size.cy);
    P->Update();
    EXPECT_EQ(Paints.Painted(P), C.Painted) << C.Name;
  }
}

// ---------------------------------------------------------------------------
// Group boxes

TEST(KvGroupBox, StylesPlaceTheClientAreaAndLeaveTheCaptionGap) {
  TCanvas Measure;
  const int32_t H = Measure.TextHeight("Yy");
  struct TCase {
    TKvGroupBoxStyle Style;
    TRect Client;  // of a 150 x 100 group box
  };
  const TCase Cases[] = {
      {gsStandard, Rect(2, H + 2, 148, 98)}, {gsFlat, Rect(1, H + 1, 149, 99)}, {gsCustom, Rect(2, H + 2, 148, 98)},
      {gsTopLine, Rect(0, H, 150, 100)},     {gsBanner, Rect(0, H + 8, 150, 100)}, {gsUnderline, Rect(0, H + 4, 150, 100)},
  };
  for (const TCase& C : Cases) {
    TBarsForm F;
    F.Form.SetColor(clWhite);
    auto* G = F.Place<TKvGroupBox>(Bounds(10, 10, 150, 100));
    G->SetCaption("&Group");
    G->SetGroupStyle(C.Style);
    auto* Child = F.Place<TKvPanel>(Rect(0, 0, 0, 0), G);
    Child->SetAlign(alClient);
    EXPECT_EQ(Child->BoundsRect(), C.Client) << C.Style;
  }
  // The frame line of gsStandard runs along the caption's middle, not behind it.
  const int32_t TW = Measure.TextWidth("Group");
  for (bool Transparent : {false, true}) {
    TBarsForm F;
    F.Form.SetColor(clWhite);
    auto* G = F.Place<TKvGroupBox>(Bounds(10, 10, 150, 100));
    G->SetCaption("&Group");
    G->Font()->SetColor(clRed);
    G->SetGroupStyle(gsStandard);
    G->SetTransparent(Transparent);
    const QImage I = Render(G);
    const int32_t Y = H / 2 - 1;
    EXPECT_EQ(PixelAt(I, 4, Y), ColorToRGB(clBtnShadow)) << Transparent;
    EXPECT_EQ(PixelAt(I, 8 + TW + 2, Y), ColorToRGB(clBtnShadow)) << Transparent;
    EXPECT_EQ(CountColor(I, clBtnShadow, Rect(8, Y, 8 + TW, Y + 1)), 0) << Transparent;
    EXPECT_EQ(PixelAt(I, 75, 50), ColorToRGB(Transparent ? clWhite : clBtnFace));
  }
  // A banner needs a caption.
  TBarsForm F;
  auto* G = F.Place<TKvGroupBox>(Bounds(10, 10, 150, 100));
  G->SetGroupStyle(gsBanner);
  EXPECT_EQ(CountColor(Render(G), clBtnFace), 150 * 100);
  G->SetCaption("Banner");
  EXPECT_LT(CountColor(Render(G), clBtnFace), 150 * 100 - 150 * H);
}

TEST(KvGroupBox, AcceleratorFocusesTheFirstChild) {
  TBarsForm F;
  auto* G = F.Place<TKvGroupBox>(Bounds(10, 10, 150, 100));
  G->SetCaption("&Output");
  auto* First = F.Place<TKvPanel>(Bounds(10, 20, 50, 20), G);
  First->SetTabStop(true);
  EXPECT_EQ(F.Form.Perform(CM_DIALOGCHAR, 'o', ssAlt), 1);
  EXPECT_EQ(F.Form.ActiveControl(), First);
}
