// Control buttons: repeated clicks on the test clock while held, the glyph strip's cell
// per state, and the faces of the arrow styles.
#include "tests/widgets/BarsTest.h"

#include <gtest/gtest.h>

#include "platform/gui/ExtCtrls.h"
#include "widgets/KvCtrlBtn.h"

using namespace barstest;
using testsupport::ColorBounds;
using testsupport::MouseMove;
using testsupport::MousePress;
using testsupport::MouseRelease;
using testsupport::PixelAt;
using testsupport::Render;

TEST(KvControlButton, RepeatsWhileHeldOnTheTestClock) {
  TBarsForm F;
  auto* B = F.Place<TKvControlButton>(Bounds(10, 10, 17, 21));
  B->SetRepeatClicks(true);
  TClicks Clicks;
  B->OnClick = Clicks.Handler();
  // 400 ms to the first repeat, then every 100 ms, also with the pointer off the
  // button; one more click on a release over it.
  MousePress(B, 5, 5);
  TTimer::Advance(399);
  EXPECT_EQ(Clicks.Count, 0);
  TTimer::Advance(1);
  EXPECT_EQ(Clicks.Count, 1);
  MouseMove(B, 60, 60);
  TTimer::Advance(300);
  EXPECT_EQ(Clicks.Count, 4);
  MouseMove(B, 5, 5);
  MouseRelease(B, 5, 5);
  EXPECT_EQ(Clicks.Count, 5);
  TTimer::Advance(1000);
  EXPECT_EQ(Clicks.Count, 5);
  // Released off the button: no click, and the repeats stop.
  MousePress(B, 5, 5);
  TTimer::Advance(450);
  MouseMove(B, 60, 60);
  MouseRelease(B, 60, 60);
  TTimer::Advance(1000);
  EXPECT_EQ(Clicks.Count, 6);
  // Disabled while held (a spin button at its limit): it lets go at once.
  MousePress(B, 5, 5);
  TTimer::Advance(400);
  B->SetEnabled(false);
  TTimer::Advance(1000);
  MouseRelease(B, 5, 5);
  EXPECT_EQ(Clicks.Count, 7);
  EXPECT_FALSE(B->Pressed());
  // Without RepeatClicks a held button clicks once, on release.
  B->SetEnabled(true);
  B->SetRepeatClicks(false);
  MousePress(B, 5, 5);
  TTimer::Advance(1000);
  MouseRelease(B, 5, 5);
  EXPECT_EQ(Clicks.Count, 8);
}

TEST(KvControlButton, GlyphCellPerStateAndNumGlyphsFromTheStrip) {
  // Cells of 9 x 9: normal red, disabled lime, pressed blue, on fuchsia (transparent).
  TBitmap Strip(27, 9);
  Strip.Canvas()->Brush()->SetColor(clFuchsia);
  Strip.Canvas()->FillRect(Rect(0, 0, 27, 9));
  const TColor Cells[] = {clRed, clLime, clBlue};
  for (int32_t I = 0; I < 3; ++I) {
    Strip.Canvas()->Brush()->SetColor(Cells[I]);
    Strip.Canvas()->FillRect(Rect(I * 9 + 2, 2, I * 9 + 7, 7));
  }
  TBarsForm F;
  auto* B = F.Place<TKvControlButton>(Bounds(10, 10, 17, 21));
  B->SetGlyph(&Strip);
  EXPECT_EQ(B->NumGlyphs(), 3);
  // The glyph is centred (inside the raised frame), one pixel lower right when pressed.
  const TRect Cell = Bounds(4 + 2, 6 + 2, 5, 5);
  EXPECT_EQ(ColorBounds(Render(B), clRed), Cell);
  EXPECT_EQ(testsupport::CountColor(Render(B), clFuchsia), 0);
  MousePress(B, 5, 5);
  TRect Pressed = Cell;
  OffsetRect(Pressed, 1, 1);
  EXPECT_EQ(ColorBounds(Render(B), clBlue), Pressed);
  MouseRelease(B, 5, 5);
  B->SetEnabled(false);
  EXPECT_EQ(ColorBounds(Render(B), clLime), Cell);
  // A single cell serves every state; five cells are too many; a strip that is not
  // whole cells leaves NumGlyphs as it was set.
  TBitmap Single(9, 9);
  Single.Canvas()->Brush()->SetColor(clFuchsia);
  Single.Canvas()->FillRect(Rect(0, 0, 9, 9));
  Single.Canvas()->Brush()->SetColor(clRed);
  Single.Canvas()->FillRect(Rect(2, 2, 7, 7));
  B->SetGlyph(&Single);
  EXPECT_EQ(B->NumGlyphs(), 1);
  EXPECT_FALSE(IsRectEmpty(ColorBounds(Render(B), clRed)));
  Strip.SetSize(45, 9);
  B->SetGlyph(&Strip);
  EXPECT_EQ(B->NumGlyphs(), 1);
  B->SetNumGlyphs(2);
  Strip.SetSize(20, 9);
  B->SetGlyph(&Strip);
  EXPECT_EQ(B->NumGlyphs(), 2);
}

TEST(KvControlButton, ArrowFacesRaisedAndFlat) {
  struct TCase {
    TKvControlButtonStyle Style;
    bool Flat;
    bool Hot;
    TColor Corner;
    TSize Arrow;  // the black arrow's extent
  };
  const TCase Cases[] = {
      {cbsUp, false, false, clBtnHighlight, {7, 4}},    {cbsDown, false, false, clBtnHighlight, {7, 4}},
      {cbsLeft, false, false, clBtnHighlight, {4, 7}},  {cbsRight, false, false, clBtnHighlight, {4, 7}},
      {cbsDropDown, false, false, clBtnHighlight, {7, 4}}, {cbsUp, true, false, clBtnFace, {7, 4}},
      {cbsUp, true, true, clBtnHighlight, {7, 4}},
  };
  for (const TCase& C : Cases) {
    TBarsForm F;
    auto* B = F.Place<TKvControlButton>(Bounds(10, 10, 17, 21));
    B->SetStyle(C.Style);
    B->SetFlat(C.Flat);
    if (C.Hot) B->Perform(CM_MOUSEENTER);
    const QImage I = Render(B);
    EXPECT_EQ(PixelAt(I, 0, 0), ColorToRGB(C.Corner)) << C.Style << C.Flat << C.Hot;
    const TRect Arrow = ColorBounds(I, clBlack);
    EXPECT_EQ(TSize(Arrow.Width(), Arrow.Height()), C.Arrow) << C.Style;
    // Inside the frame, near the middle.
    EXPECT_LE(std::abs(Arrow.Left + Arrow.Right - 17), 2) << C.Style;
    EXPECT_LE(std::abs(Arrow.Top + Arrow.Bottom - 21), 4) << C.Style;
    B->SetEnabled(false);
    EXPECT_TRUE(IsRectEmpty(ColorBounds(Render(B), clBlack))) << C.Style;
  }
}
