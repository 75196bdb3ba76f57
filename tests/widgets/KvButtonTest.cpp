// Push buttons and bitmap buttons: presses, the space bar, Enter and Escape through a
// modal form, latched groups under real input; focus rectangle, pressed offsets, the
// down pattern, text styles and the glyph cell and place per state by pixel facts;
// stock kinds.
#include "tests/widgets/WidgetTest.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>

#include "platform/gui/ExtCtrls.h"
#include "widgets/KvButton.h"
#include "widgets/KvRadChk.h"

using namespace widgettest;
using namespace testsupport;

namespace {

// Classic look: the inner bevel pixel shows the button shadow only while pressed.
bool LooksPressed(TControl* Button) { return PixelAt(Render(Button), 1, 1) == RGBOf(clBtnShadow); }

// A glyph strip of Cells square cells of the colours given; the bottom-left pixel (the
// transparent colour's place) is olive.
void MakeGlyph(TBitmap& Glyph, int32_t Size, std::span<const TColor> Cells) {
  Glyph.SetSize(Size * static_cast<int32_t>(Cells.size()), Size);
  int32_t X = 0;
  for (TColor C : Cells) {
    Glyph.Canvas()->Brush()->SetColor(C);
    Glyph.Canvas()->FillRect(Bounds(X, 0, Size, Size));
    X += Size;
  }
  Glyph.Canvas()->SetPixel(0, Size - 1, clOlive);
}

}  // namespace

TEST(KvButton, ReleasingOutsideDoesNotClickAndComingBackShowsThePressAgain) {
  TInputForm F;
  auto* B = F.Add<TKvButton>(Bounds(10, 10, 75, 25), "Go");
  int Clicks = 0;
  B->OnClick = [&](TComponent*) { ++Clicks; };
  F.Show();
  MousePress(B, 10, 10);
  EXPECT_TRUE(B->Focused());
  EXPECT_TRUE(LooksPressed(B));
  MouseMove(B, 120, 10);
  EXPECT_FALSE(LooksPressed(B));
  MouseMove(B, 10, 10);
  EXPECT_TRUE(LooksPressed(B));
  MouseMove(B, 10, -20);
  MouseRelease(B, 10, -20);
  EXPECT_EQ(Clicks, 0);
  EXPECT_FALSE(LooksPressed(B));
  MouseClick(B, 10, 10);
  EXPECT_EQ(Clicks, 1);
}

TEST(KvButton, TheFirstClickInAWindowThatIsNotActiveClicks) {
  // The window manager activates the window after the press has been handled.
  TInputForm F, Other;
  auto* B = F.Add<TKvButton>(Bounds(10, 10, 75, 25), "Convert");
  int Clicks = 0;
  B->OnClick = [&](TComponent*) { ++Clicks; };
  F.Show();
  Other.Show();
  ASSERT_FALSE(F.Form->Active());
  MouseClick(B, 10, 10);
  EXPECT_EQ(Clicks, 1);
  EXPECT_TRUE(F.Form->Active());
  EXPECT_TRUE(B->Focused());
}

TEST(KvButton, SpaceBarPressesAndClicksOnReleaseOnTheSameButton) {
  TInputForm F;
  auto* A = F.Add<TKvButton>(Bounds(10, 10, 75, 25), "A");
  auto* B = F.Add<TKvButton>(Bounds(100, 10, 75, 25), "B");
  int ClicksA = 0, ClicksB = 0;
  A->OnClick = [&](TComponent*) { ++ClicksA; };
  B->OnClick = [&](TComponent*) { ++ClicksB; };
  F.Show();
  A->SetFocus();
  QTest::keyPress(A->Host(), Qt::Key_Space);
  EXPECT_TRUE(LooksPressed(A));
  EXPECT_EQ(ClicksA, 0);
  QTest::keyRelease(A->Host(), Qt::Key_Space);
  EXPECT_EQ(ClicksA, 1);
  EXPECT_FALSE(LooksPressed(A));
  QTest::keyPress(A->Host(), Qt::Key_Space, Qt::AltModifier);
  EXPECT_FALSE(LooksPressed(A));
  QTest::keyRelease(A->Host(), Qt::Key_Space, Qt::AltModifier);
  // A press that loses the focus before its release clicks nothing.
  QTest::keyPress(A->Host(), Qt::Key_Space);
  B->SetFocus();
  QTest::keyRelease(B->Host(), Qt::Key_Space);
  EXPECT_EQ(ClicksA, 1);
  EXPECT_EQ(ClicksB, 0);
  EXPECT_FALSE(LooksPressed(A));
}

TEST(KvButton, EnterAndEscapeReachTheDefaultAndCancelButtonsAndEndTheModalForm) {
  TInputForm F;
  auto* Box = F.Add<TKvCheckBox>(Bounds(10, 10, 100, 17), "Box");
  auto* Ok = F.Add<TKvButton>(Bounds(10, 40, 75, 25), "OK");
  Ok->SetDefault(true);
  Ok->SetModalResult(mrOk);
  auto* Cancel = F.Add<TKvButton>(Bounds(90, 40, 75, 25), "Cancel");
  Cancel->SetCancel(true);
  Cancel->SetModalResult(mrCancel);
  auto* Other = F.Add<TKvButton>(Bounds(170, 40, 75, 25), "Other");
  int OtherClicks = 0;
  Other->OnClick = [&](TComponent*) { ++OtherClicks; };
  struct TCase {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    TWinControl* Focus;
    bool DisableFocus;
    TModalResult Expected;  // mrAbort: the key ended nothing
    int OtherClicks;
  } Cases[] = {
      {Qt::Key_Return, Qt::NoModifier, Box, false, mrOk, 0},
      {Qt::Key_Escape, Qt::NoModifier, Box, false, mrCancel, 0},
      {Qt::Key_Return, Qt::ShiftModifier, Box, false, mrAbort, 0},
      {Qt::Key_Escape, Qt::ControlModifier, Box, false, mrAbort, 0},
      // A focused push button takes Enter itself (and its result is none).
      {Qt::Key_Return, Qt::NoModifier, Other, false, mrAbort, 1},
      // Disabled while focused, it gives the default role back.
      {Qt::Key_Return, Qt::NoModifier, Other, true, mrOk, 0},
  };
  for (const TCase& C : Cases) {
    OtherClicks = 0;
    Other->SetEnabled(true);
    TDialogScript Script;
    Script.Answer([&](const TDialogRequest&) {
      ShowActive(F.Form);
      C.Focus->SetFocus();
      if (C.DisableFocus) C.Focus->SetEnabled(false);
      KeyClick(C.Key, C.Modifiers);
      return TDialogAnswer{mrAbort, {}, {}, 0};
    });
    EXPECT_EQ(F.Form->ShowModal(), C.Expected) << C.Key << " " << C.Modifiers;
    EXPECT_EQ(OtherClicks, C.OtherClicks);
  }
}

TEST(KvButton, GroupedButtonsLatchOneDownPerGroupAndParent) {
  TInputForm F;
  std::vector<TKvButton*> G;
  for (int32_t I = 0; I < 3; ++I) G.push_back(F.Add<TKvButton>(Bounds(10 + I * 80, 10, 75, 25)));
  auto* OtherGroup = F.Add<TKvButton>(Bounds(10, 40, 75, 25));
  auto* Panel = F.Add<TPanel>(Bounds(10, 80, 200, 60));
  auto* OtherParent = F.Add<TKvButton>(Bounds(5, 5, 75, 25), "", Panel);
  for (TKvButton* B : G) B->SetGroupIndex(1);
  OtherGroup->SetGroupIndex(2);
  OtherParent->SetGroupIndex(1);
  OtherGroup->SetDown(true);
  OtherParent->SetDown(true);
  F.Show();
  auto Downs = [&] {
    return std::vector<bool>{G[0]->Down(), G[1]->Down(), G[2]->Down(), OtherGroup->Down(), OtherParent->Down()};
  };
  MouseClick(G[0], 5, 5);
  EXPECT_EQ(Downs(), (std::vector<bool>{true, false, false, true, true}));
  MouseClick(G[1], 5, 5);
  EXPECT_EQ(Downs(), (std::vector<bool>{false, true, false, true, true}));
  // The last one down stays down, by click or by code, until the group allows all up.
  MouseClick(G[1], 5, 5);
  G[1]->SetDown(false);
  EXPECT_TRUE(G[1]->Down());
  G[2]->SetAllowAllUp(true);
  EXPECT_TRUE(G[1]->AllowAllUp());
  EXPECT_FALSE(OtherParent->AllowAllUp());
  MouseClick(G[1], 5, 5);
  EXPECT_EQ(Downs(), (std::vector<bool>{false, false, false, true, true}));
  // Not grouped: never down.
  auto* Single = F.Add<TKvButton>(Bounds(10, 150, 75, 25));
  Single->SetDown(true);
  EXPECT_FALSE(Single->Down());
}

TEST(KvButtonPaint, FocusRectangleAndCaptionFollowTheLookThePressAndTheDownState) {
  enum TState { Up, Pressed, Down };
  const TRect Classic = Rect(4, 4, 71, 21), Flat = Rect(3, 3, 72, 22), Shifted = Rect(5, 5, 72, 22);
  struct TCase {
    bool HotTrack;
    TState State;
    bool Focused, ShowFocusRect;
    TRect Focus;
    int32_t CaptionShift;
  } Cases[] = {
      {false, Up, true, true, Classic, 0},      {true, Up, true, true, Flat, 0},
      {false, Pressed, true, true, Classic, 1}, {true, Pressed, true, true, Flat, 0},
      {false, Down, true, true, Shifted, 1},    {false, Up, false, true, TRect{}, 0},
      {false, Up, true, false, TRect{}, 0},
  };
  for (const TCase& C : Cases) {
    TInputForm F;
    auto* B = F.Add<TKvButton>(Bounds(10, 10, 75, 25), "X");
    auto* Elsewhere = F.Add<TKvButton>(Bounds(100, 10, 75, 25));
    B->Font()->SetColor(clRed);
    B->SetHotTrack(C.HotTrack);
    B->SetShowFocusRect(C.ShowFocusRect);
    F.Show();
    (C.Focused ? B : Elsewhere)->SetFocus();
    TRect Caption = ColorBounds(Render(B), clRed);
    OffsetRect(Caption, C.CaptionShift, C.CaptionShift);
    if (C.State == Down) {
      B->SetGroupIndex(1);
      B->SetDown(true);
    }
    if (C.State == Pressed) MousePress(B, 5, 5);
    const QImage I = Render(B);
    if (C.State == Pressed) MouseRelease(B, 5, -30);
    EXPECT_EQ(BoundsIn(I, clBlack, Rect(2, 2, 73, 23)), C.Focus) << C.HotTrack << C.State << C.Focused;
    EXPECT_EQ(ColorBounds(I, clRed), Caption) << C.HotTrack << C.State << C.Focused;
  }
}

TEST(KvButtonPaint, DownPatternIsGrayOnASilverFaceAndSilverOnAnyOther) {
  struct TCase {
    TColor Face;
    bool Pattern;
    TColor Dot;
  } Cases[] = {
      {clSilver, true, clGray}, {clBtnFace, true, clSilver}, {clSkyBlue, true, clSilver}, {clBtnFace, false, clBtnFace},
  };
  for (const TCase& C : Cases) {
    TForm Form(nullptr);
    auto* B = new TKvButton(&Form);
    B->SetParent(&Form);
    B->SetColor(C.Face);
    B->SetShowDownPattern(C.Pattern);
    B->SetGroupIndex(1);
    B->SetDown(true);
    const QImage I = Render(B);
    EXPECT_EQ(PixelAt(I, 10, 10), RGBOf(C.Dot)) << C.Face;  // x and y both even
    EXPECT_EQ(PixelAt(I, 11, 10), RGBOf(C.Face)) << C.Face;
  }
}

TEST(KvButtonPaint, TextStylesPlaceTheirCopiesOfTheCaption) {
  // Offsets of a plain caption's far edges (right and bottom for copies moved right
  // and down, left and top otherwise) for the text and for the copy in Copy's colour.
  struct TCase {
    TTextStyle Style;
    bool Light;
    TAlignment Alignment;
    int32_t TextDX;
    TColor Copy;
    int32_t CopyDX, CopyDY;
  } Cases[] = {
      {tsShadow, false, taCenter, 0, clBlue, 2, 2},     {tsShadow, false, taRightJustify, -2, clBlue, 0, 2},
      {tsRaised, false, taCenter, 0, clBlue, 1, 1},     {tsRecessed, false, taCenter, 0, clLime, 1, 1},
      {tsRaised, true, taCenter, 0, clLime, -1, -1},
  };
  for (const TCase& C : Cases) {
    TForm Form(nullptr);
    auto* B = new TKvButton(&Form);
    B->SetParent(&Form);
    B->SetCaption("Text");
    B->Font()->SetColor(clRed);
    B->SetTextShadowColor(clBlue);
    B->SetTextHighlightColor(clLime);
    B->SetAlignment(C.Alignment);
    const TRect Plain = ColorBounds(Render(B), clRed);
    B->SetTextStyle(C.Style);
    B->SetLightTextStyle(C.Light);
    const QImage I = Render(B);
    const TRect Text = ColorBounds(I, clRed), Copy = ColorBounds(I, C.Copy);
    EXPECT_EQ(Text.Left, Plain.Left + C.TextDX) << C.Style;
    EXPECT_EQ(Text.Top, Plain.Top) << C.Style;
    if (C.CopyDX >= 0) {
      EXPECT_EQ(Copy.Right, Plain.Right + C.CopyDX) << C.Style;
      EXPECT_EQ(Copy.Bottom, Plain.Bottom + C.CopyDY) << C.Style;
    } else {
      EXPECT_EQ(Copy.Left, Plain.Left + C.CopyDX) << C.Style;
      EXPECT_EQ(Copy.Top, Plain.Top + C.CopyDY) << C.Style;
    }
  }
}

// ---------------------------------------------------------------------------

TEST(KvBitBtn, StockKindsSetTheirRoleAndBecomeCustomWhenChanged) {
  struct TCase {
    TBitBtnKind Kind;
    const char* Caption;
    TModalResult Result;
    bool Default, Cancel;
    std::function<void(TKvBitBtn*)> Change;
  } Cases[] = {
      {bkOK, "OK", mrOk, true, false, [](TKvBitBtn* B) { B->SetModalResult(mrNone); }},
      {bkCancel, "Cancel", mrCancel, false, true, [](TKvBitBtn* B) { B->SetCancel(false); }},
      {bkYes, "&Yes", mrYes, true, false, [](TKvBitBtn* B) { B->SetDefault(false); }},
      {bkNo, "&No", mrNo, false, true, [](TKvBitBtn* B) { B->SetGlyph(StockGlyph(bkNo)); }},
      {bkHelp, "&Help", mrNone, false, false, [](TKvBitBtn* B) { B->SetModalResult(mrOk); }},
      {bkAll, "&All", mrAll, false, false, [](TKvBitBtn* B) { B->SetDefault(true); }},
  };
  for (const TCase& C : Cases) {
    TForm Form(nullptr);
    auto* B = new TKvBitBtn(&Form);
    B->SetParent(&Form);
    B->SetCaption("Mine");
    B->SetKind(C.Kind);
    EXPECT_EQ(B->Kind(), C.Kind);
    EXPECT_EQ(B->Caption(), C.Caption);
    EXPECT_EQ(B->ModalResult(), C.Result);
    EXPECT_EQ(B->Default(), C.Default);
    EXPECT_EQ(B->Cancel(), C.Cancel);
    EXPECT_EQ(B->NumGlyphs(), 2);
    EXPECT_EQ(B->Glyph()->Width(), 32);
    C.Change(B);
    EXPECT_EQ(B->Kind(), bkCustom) << C.Caption;
  }
  // A window being built keeps its own caption; afterwards the stock one replaces it.
  TForm Form(nullptr);
  auto* B = new TKvBitBtn(&Form);
  BeginLoading(&Form);
  B->SetCaption("Go");
  B->SetKind(bkOK);
  EndLoading(&Form);
  EXPECT_EQ(B->Caption(), "Go");
  B->SetKind(bkCancel);
  EXPECT_EQ(B->Caption(), "Cancel");
}

TEST(KvBitBtn, AGlyphWhoseWidthIsAMultipleOfItsHeightSetsNumGlyphs) {
  struct TCase {
    int32_t Width, Height, NumGlyphs;
  } Cases[] = {{64, 16, 4}, {48, 32, 3}, {80, 16, 1}, {32, 16, 2}};
  for (const TCase& C : Cases) {
    TKvBitBtn B(nullptr);
    B.SetNumGlyphs(3);
    const TBitmap Glyph(C.Width, C.Height);
    B.SetGlyph(&Glyph);
    EXPECT_EQ(B.NumGlyphs(), C.NumGlyphs) << C.Width << "x" << C.Height;
  }
  TKvBitBtn B(nullptr);
  B.SetMargin(-2);
  EXPECT_EQ(B.Margin(), 2);
  B.SetMargin(-1);
  EXPECT_EQ(B.Margin(), -1);
}

TEST(KvBitBtnPaint, GlyphCellAndPlaceFollowTheState) {
  const TColor Cells[] = {clRed, clLime, clBlue, clYellow};
  enum TState { Normal, Disabled, Pressed, Down };
  // A 75 x 25 button, glyph left with margin 2 at (7, 5); pressed and down one pixel
  // right and down.
  const TRect Rest = Bounds(7, 5, 16, 16), Moved = Bounds(8, 6, 16, 16);
  struct TCase {
    int32_t NumCells;
    TState State;
    int32_t Cell;
    TRect Where;
  } Cases[] = {
      {4, Normal, 0, Rest}, {4, Disabled, 1, Rest}, {4, Pressed, 2, Moved}, {4, Down, 3, Moved},
      {3, Down, 0, Moved},  {2, Pressed, 0, Moved}, {2, Disabled, 1, Rest}, {1, Disabled, 0, Rest},
  };
  for (const TCase& C : Cases) {
    TInputForm F;
    auto* B = F.Add<TKvBitBtn>(Bounds(10, 10, 75, 25));
    TBitmap Glyph;
    MakeGlyph(Glyph, 16, std::span(Cells, static_cast<size_t>(C.NumCells)));
    B->SetGlyph(&Glyph);
    F.Show();
    if (C.State == Disabled) B->SetEnabled(false);
    if (C.State == Down) {
      B->SetGroupIndex(1);
      B->SetDown(true);
    }
    if (C.State == Pressed) MousePress(B, 40, 5);
    const QImage I = Render(B);
    if (C.State == Pressed) MouseRelease(B, 40, -30);
    EXPECT_EQ(ColorBounds(I, Cells[C.Cell]), C.Where) << C.NumCells << " cells, state " << C.State;
    for (int32_t K = 0; K < C.NumCells; ++K) {
      if (K == C.Cell) continue;
      EXPECT_EQ(CountColor(I, Cells[K]), 0) << C.NumCells << " cells, state " << C.State;
    }
  }
}

TEST(KvBitBtnPaint, GlyphPlaceFollowsLayoutAndMargin) {
  // A 90 x 40 button: the caption's room is (5, 5)-(85, 35).
  struct TCase {
    TButtonLayout Layout;
    int32_t Margin;
    TRect Where;
  } Cases[] = {
      {blGlyphLeft, 2, Bounds(7, 12, 16, 16)},   {blGlyphRight, 2, Bounds(67, 12, 16, 16)},
      {blGlyphTop, 2, Bounds(37, 7, 16, 16)},    {blGlyphBottom, 2, Bounds(37, 17, 16, 16)},
      {blGlyphLeft, -1, Bounds(5, 12, 16, 16)},  {blGlyphRight, -1, Bounds(69, 12, 16, 16)},
      {blGlyphLeft, 0, Bounds(5, 12, 16, 16)},
  };
  for (const TCase& C : Cases) {
    TKvBitBtn B(nullptr);
    B.SetBounds(0, 0, 90, 40);
    TBitmap Glyph;
    const TColor Red[] = {clRed};
    MakeGlyph(Glyph, 16, Red);
    B.SetGlyph(&Glyph);
    B.SetLayout(C.Layout);
    B.SetMargin(C.Margin);
    EXPECT_EQ(ColorBounds(Render(&B), clRed), C.Where) << C.Layout << " margin " << C.Margin;
  }
}
